// zembrio-cli under interruption and hostile names: Ctrl-C or SIGTERM in the middle of a
// cut or a join ends it as an abort with whole frames on disk, a second one ends it at
// once, and names from a track list never leave the destination folder.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "clirunner.h"
#include "framebuilder.h"

extern char** environ;

namespace zembrio::test {
namespace {

namespace fs = std::filesystem;

// A bound on every wait of these tests: reaching it means the program hangs.
constexpr int kHangMs = 60000;

// zembrio-cli started in the background, its output files in folder.
class RunningCli {
 public:
  RunningCli(const std::vector<std::string>& args, const std::string& folder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    errPath_ = folder + "cli.err";
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> all{ZEMBRIO_CLI_PATH, "--ini", folder + "zembrio.ini", "--set",
                                 "ID3V2TAG=0"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
      argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~RunningCli() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  RunningCli(const RunningCli&) = delete;
  RunningCli& operator=(const RunningCli&) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int signal) const { kill(pid_, signal); }
  // The exit status, or -1 when the program does not end.
  int Wait() {
    for (int waited = 0; waited < kHangMs; waited += 10) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }
  std::string Err() const { return AsText(ReadFile(errPath_)); }

  static std::string AsText(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

 private:
  pid_t pid_ = -1;
  std::string errPath_;
};

// The reading end of a named pipe that stands for an output file: the program writes into
// it only as fast as the test reads, so the test knows the run is in the middle of it.
class PipeReader {
 public:
  explicit PipeReader(const std::string& path) {
    mkfifo(path.c_str(), 0600);
    fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  }
  ~PipeReader() {
    if (fd_ >= 0)
      close(fd_);
  }
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

  // Reads until at least count bytes came; false when they do not come.
  bool ReadAtLeast(size_t count) {
    while (Received.size() < count) {
      if (!ReadSome())
        return false;
    }
    return true;
  }
  // Reads until the writer closes; false when it never does.
  bool ReadToEnd() {
    for (;;) {
      pollfd watch{fd_, POLLIN, 0};
      if (poll(&watch, 1, kHangMs) <= 0)
        return false;
      char block[65536];
      const ssize_t got = read(fd_, block, sizeof block);
      if (got == 0 && (watch.revents & POLLHUP) != 0)
        return true;
      if (got > 0)
        Received.insert(Received.end(), block, block + got);
    }
  }

  Bytes Received;

 private:
  bool ReadSome() {
    pollfd watch{fd_, POLLIN, 0};
    if (poll(&watch, 1, kHangMs) <= 0)
      return false;
    char block[4096];
    const ssize_t got = read(fd_, block, sizeof block);
    if (got > 0)
      Received.insert(Received.end(), block, block + got);
    return got >= 0 || errno == EAGAIN;
  }

  int fd_ = -1;
};

// The program, blocked on the full pipe, looks at requests with its progress display, at
// most every 50 ms: a request older than that is seen as soon as the pipe is read again.
void LetTheRequestAge() {
  usleep(200000);
}

// What an interrupted run left: its exit status, its error output and the bytes it wrote.
struct Interrupted {
  int Exit = -1;
  std::string Err;
  Bytes Received;
};

class CliSignalTest : public ::testing::Test {
 protected:
  // Runs the program writing into output (a pipe read here), sends signal once 100 kB have
  // come, and reads what the program writes until it ends.
  void InterruptWhileWriting(const std::vector<std::string>& args, const std::string& output,
                             int signal, Interrupted& result) {
    fs::remove(dir_.File(output));
    PipeReader pipe(dir_.File(output));
    RunningCli cli(args, dir_.Path());
    ASSERT_TRUE(cli.Started());
    ASSERT_TRUE(pipe.ReadAtLeast(100000));
    cli.Signal(signal);
    LetTheRequestAge();
    ASSERT_TRUE(pipe.ReadToEnd());
    result.Exit = cli.Wait();
    result.Err = cli.Err();
    result.Received = std::move(pipe.Received);
  }

  std::string Make(const std::string& name, const Bytes& bytes) {
    WriteFile(dir_.File(name), bytes);
    return dir_.File(name);
  }

  TempDir dir_;
  const FrameSpec spec_{};
  const size_t frameLength_ = static_cast<size_t>(FrameLength(spec_));
};

TEST_F(CliSignalTest, InterruptInTheMiddleOfACutIsAnAbortWithWholeFrames) {
  // Several megabytes: far more than the pipe and the output buffer hold together.
  const Bytes source = Frames(spec_, 8000);
  Make("song.mp3", source);
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    Interrupted run;
    ASSERT_NO_FATAL_FAILURE(InterruptWhileWriting(
        {"cut", "song.mp3", "--point", "0=a", "--point", "2:00=b", "--overwrite", "all"}, "a.mp3",
        signal, run));

    EXPECT_EQ(run.Exit, 130) << run.Err;
    EXPECT_NE(run.Err.find("Abandon"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Received.size() % frameLength_, 0u);
    EXPECT_LT(run.Received.size(), source.size());
    EXPECT_TRUE(std::equal(run.Received.begin(), run.Received.end(), source.begin()));
    EXPECT_FALSE(fs::exists(dir_.File("b.mp3")));
    EXPECT_EQ(ReadFile(dir_.File("song.mp3")), source);
  }
}

TEST_F(CliSignalTest, InterruptInTheMiddleOfAJoinIsAnAbortWithWholeFrames) {
  const Bytes part = Frames(spec_, 4000);
  Make("one.mp3", part);
  Make("two.mp3", part);
  for (const bool raw : {false, true}) {
    SCOPED_TRACE(raw ? "raw" : "frames");
    std::vector<std::string> args{"join",    "--output",    "all.mp3", "one.mp3",
                                  "two.mp3", "--overwrite", "all"};
    if (raw)
      args.push_back("--raw");
    Interrupted run;
    ASSERT_NO_FATAL_FAILURE(InterruptWhileWriting(args, "all.mp3", SIGINT, run));

    EXPECT_EQ(run.Exit, 130) << run.Err;
    EXPECT_LT(run.Received.size(), 2 * part.size());
    if (!raw) {
      EXPECT_EQ(run.Received.size() % frameLength_, 0u);
    }
    EXPECT_NE(run.Err.find("abandon"), std::string::npos) << run.Err;
  }
}

TEST_F(CliSignalTest, ASecondInterruptEndsTheProgramAtOnce) {
  Make("song.mp3", Frames(spec_, 8000));
  PipeReader fragment(dir_.File("a.mp3"));
  RunningCli cli({"cut", "song.mp3", "--point", "0=a", "--point", "2:00=b", "--overwrite", "all"},
                 dir_.Path());
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(fragment.ReadAtLeast(100000));
  // Nothing more is read: the program stays blocked on the full pipe and cannot notice
  // the first request. Two different signals, so that neither is merged into the other.
  cli.Signal(SIGINT);
  cli.Signal(SIGTERM);
  EXPECT_EQ(cli.Wait(), 130);
}

TEST_F(CliSignalTest, TrackListNamesStayInsideTheDestination) {
  Make("song.mp3", Frames(spec_, 200));
  const std::string sheet =
      "TITLE \"Disc\"\n"
      "  TRACK 01 AUDIO\n    TITLE \"../../x\"\n    INDEX 01 00:00:00\n"
      "  TRACK 02 AUDIO\n    TITLE \"/etc/y\"\n    INDEX 01 00:02:00\n";
  Make("song.cue", Bytes(sheet.begin(), sheet.end()));
  fs::create_directories(dir_.File("deep/dest"));
  // The user emptied the replacement list: the track list names are made safe anyway.
  const ProcessResult result =
      RunCli({"--ini", dir_.File("zembrio.ini"), "--set", "MASK=%T", "--set", "REPLACE=", "cut",
              "song.mp3", "--cue", "song.cue", "--dest", "deep/dest"},
             dir_.Path());
  ASSERT_EQ(result.Exit, 0) << result.Err;
  EXPECT_TRUE(fs::exists(dir_.File("deep/dest/..-..-x.mp3")));
  EXPECT_TRUE(fs::exists(dir_.File("deep/dest/-etc-y.mp3")));
  EXPECT_FALSE(fs::exists(dir_.File("x.mp3")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.File("deep/dest")), {}), 2);
}

// A typed name keeps its text for the tag, but the file made from it stays in the
// destination: its path separators and control characters are replaced as an imported
// name's are.
TEST_F(CliSignalTest, TypedNamesNeverLeaveTheDestination) {
  Make("song.mp3", Frames(spec_, 100));
  fs::create_directories(dir_.File("out/sub"));
  const ProcessResult typed =
      RunCli({"--ini", dir_.File("zembrio.ini"), "cut", "song.mp3", "--point", "0=sub/a", "--point",
              "1s=../../escaped", "--point", "2s=AC/DC\tlive", "--dest", "out"},
             dir_.Path());
  ASSERT_EQ(typed.Exit, 0) << typed.Err;
  EXPECT_TRUE(fs::exists(dir_.File("out/sub-a.mp3")));
  EXPECT_TRUE(fs::exists(dir_.File("out/..-..-escaped.mp3")));
  EXPECT_TRUE(fs::exists(dir_.File("out/AC-DC-live.mp3")));
  EXPECT_FALSE(fs::exists(dir_.File("out/sub/a.mp3")));
  EXPECT_FALSE(fs::exists(dir_.File("out/../../escaped.mp3")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.File("out")), {}), 4);
}

}  // namespace
}  // namespace zembrio::test
