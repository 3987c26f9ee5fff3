#include "cut/process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/rawfile.h"

extern char** environ;

namespace zembrio {

namespace {

using TWaitClock = std::chrono::steady_clock;
constexpr auto kSlice = std::chrono::milliseconds(50);
constexpr size_t kReadChunk = 64 * 1024;

class TSpawnActions {
 public:
  TSpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~TSpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  TSpawnActions(const TSpawnActions&) = delete;
  TSpawnActions& operator=(const TSpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Reads what the pipe holds now. False once the writing side has closed it.
bool ReadAvailable(int fd, std::string& output) {
  char chunk[kReadChunk];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
      output.append(chunk, static_cast<size_t>(got));
      continue;
    }
    if (got == 0)
      return false;
    if (errno == EINTR)
      continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

// Waits until the pipe has data or the deadline passes; false once the pipe is closed.
bool WaitAndRead(int fd, TWaitClock::time_point deadline, std::string& output) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TWaitClock::now());
  pollfd entry{fd, POLLIN, 0};
  int ready = ::poll(&entry, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
  if (ready <= 0)
    return true;  // timed out, or interrupted: the caller loops
  return ReadAvailable(fd, output);
}

void SleepUntil(TWaitClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TWaitClock::now());
  if (left.count() > 0)
    ::poll(nullptr, 0, static_cast<int>(left.count()));
}

// True when the child has ended; its exit code goes to exitCode.
bool Reaped(pid_t pid, int& exitCode) {
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(pid, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0)
    return false;
  exitCode = (done == pid && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return true;
}

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& argument : argv)
    pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TCapturedRun RunAndCapture(const std::vector<std::string>& argv, const TWaitSlice& onSlice) {
  TCapturedRun run;
  if (argv.empty())
    return run;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0)
    return run;
  TFd readEnd(ends[0]);
  TFd writeEnd(ends[1]);

  TSpawnActions actions;
  posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDERR_FILENO);
  std::vector<char*> arguments = ArgvPointers(argv);
  pid_t pid = 0;
  int failure =
      ::posix_spawn(&pid, argv[0].c_str(), actions.Get(), nullptr, arguments.data(), environ);
  writeEnd.Reset();  // the child holds the only writing end now: its exit ends the pipe
  if (failure != 0) {
    run.Output = argv[0] + ": " + std::strerror(failure) + "\n";
    return run;
  }
  ::fcntl(readEnd.Get(), F_SETFL, ::fcntl(readEnd.Get(), F_GETFL) | O_NONBLOCK);

  bool pipeOpen = true;
  auto sliceEnd = TWaitClock::now() + kSlice;
  for (;;) {
    if (pipeOpen) {
      pipeOpen = WaitAndRead(readEnd.Get(), sliceEnd, run.Output);
    } else {
      SleepUntil(sliceEnd);
    }
    bool sliceOver = TWaitClock::now() >= sliceEnd;
    if ((sliceOver || !pipeOpen) && Reaped(pid, run.ExitCode))
      break;
    if (sliceOver) {
      if (onSlice)
        onSlice();
      sliceEnd = TWaitClock::now() + kSlice;
    }
  }
  // A child of the program may still hold the pipe: take what is there, never wait for it.
  if (pipeOpen)
    ReadAvailable(readEnd.Get(), run.Output);
  return run;
}

std::string ShellQuote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace zembrio
