#include "flac/trackmetadata.h"

#include <FLAC/metadata.h>
#include <taglib/tbytevector.h>
#include <taglib/tstring.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <system_error>

#include "core/fileio.h"
#include "core/textutil.h"
#include "cut/runfeedback.h"
#include "tags/vorbiscomments.h"

namespace zembrio {

namespace {

// The metadata block types a track is made of.
constexpr uint8_t kPaddingType = 1;
constexpr uint8_t kSeekTableType = 3;
constexpr uint8_t kVorbisCommentType = 4;
constexpr uint8_t kPictureType = 6;

constexpr uint32_t kMaxBlockLength = 0xFFFFFF;  // 24 bits of length in a block header
constexpr uint32_t kPaddingLength = 4096;       // room for tags edited later in place
constexpr size_t kSeekPointSize = 18;
constexpr uint64_t kPlaceholderSample = 0xFFFFFFFFFFFFFFFFULL;
constexpr uint64_t kSecondsPerSeekPoint = 10;

struct TIteratorDeleter {
  void operator()(FLAC__Metadata_SimpleIterator* iterator) const {
    FLAC__metadata_simple_iterator_delete(iterator);
  }
};
struct TBlockDeleter {
  void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using TBlock = std::unique_ptr<FLAC__StreamMetadata, TBlockDeleter>;

void PutBigEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBlockHeader(std::vector<uint8_t>& out, uint8_t type, size_t length, bool last) {
  if (length > kMaxBlockLength)
    throw TRunError("Bloc de métadonnées FLAC trop grand.");
  out.push_back(static_cast<uint8_t>(type | (last ? 0x80 : 0)));
  PutBigEndian(out, length, 3);
}

[[noreturn]] void ThrowUnreadable(const std::string& path) {
  throw TRunError(path + " : métadonnées FLAC illisibles.");
}

// The body of the iterator's current block, read from the file as it is stored.
std::vector<uint8_t> StoredBody(TInputFile& input, const FLAC__Metadata_SimpleIterator* iterator) {
  const uint32_t length = FLAC__metadata_simple_iterator_get_block_length(iterator);
  std::vector<uint8_t> body(length);
  input.Seek(FLAC__metadata_simple_iterator_get_block_offset(iterator) + 4);
  if (input.Read(body.data(), length) != length)
    ThrowUnreadable(input.Path());
  return body;
}

// The iterator's current block as libFLAC reads it; a block it refuses makes the whole
// metadata unreadable: a track must not silently lose the source's tags or pictures.
TBlock ParsedBlock(FLAC__Metadata_SimpleIterator* iterator, const std::string& path) {
  TBlock block(FLAC__metadata_simple_iterator_get_block(iterator));
  if (!block)
    ThrowUnreadable(path);
  return block;
}

void ReadComments(const FLAC__StreamMetadata& block, TFlacSourceMetadata& meta) {
  const FLAC__StreamMetadata_VorbisComment& comments = block.data.vorbis_comment;
  const auto text = [](const FLAC__StreamMetadata_VorbisComment_Entry& entry) {
    return std::string(reinterpret_cast<const char*>(entry.entry), entry.length);
  };
  meta.Vendor = text(comments.vendor_string);
  for (uint32_t i = 0; i < comments.num_comments; ++i)
    meta.Comments.push_back(text(comments.comments[i]));
}

bool PlausibleStreamInfo(const TFlacStreamInfo& info) {
  return info.SampleRate > 0 && info.SampleRate <= FLAC__MAX_SAMPLE_RATE &&
         info.BitsPerSample >= 4 && info.MinBlockSize <= info.MaxBlockSize &&
         info.MaxBlockSize <= FLAC__MAX_BLOCK_SIZE;
}

// The iterator opened on path; the statuses of a file that is not FLAC become TRunError.
std::unique_ptr<FLAC__Metadata_SimpleIterator, TIteratorDeleter> OpenIterator(
    const std::string& path) {
  std::unique_ptr<FLAC__Metadata_SimpleIterator, TIteratorDeleter> iterator(
      FLAC__metadata_simple_iterator_new());
  if (!iterator)
    throw std::bad_alloc();
  errno = 0;
  if (FLAC__metadata_simple_iterator_init(iterator.get(), path.c_str(), true, false))
    return iterator;
  switch (FLAC__metadata_simple_iterator_status(iterator.get())) {
    case FLAC__METADATA_SIMPLE_ITERATOR_STATUS_ERROR_OPENING_FILE:
      throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), path);
    case FLAC__METADATA_SIMPLE_ITERATOR_STATUS_MEMORY_ALLOCATION_ERROR:
      throw std::bad_alloc();
    case FLAC__METADATA_SIMPLE_ITERATOR_STATUS_NOT_A_FLAC_FILE:
      throw TRunError(path + " : pas un fichier FLAC.");
    default:
      ThrowUnreadable(path);
  }
}

// The field name of a "NAME=value" comment, upper case; empty when it has no "=".
std::string FieldNameOf(const std::string& comment) {
  const size_t equals = comment.find('=');
  if (equals == std::string::npos)
    return {};
  std::string name = comment.substr(0, equals);
  for (char& c : name)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return name;
}

// Comments that describe the album image as a whole and would be wrong in one track: its
// cue sheet, the per-track fields of that sheet and the image's own track gain.
bool DescribesAlbumImage(const std::string& name) {
  return name == "CUESHEET" || name.starts_with("CUE_TRACK") ||
         name.starts_with("REPLAYGAIN_TRACK_");
}

// A comment block holding only vendor: how TagLib takes a vendor string to render.
TagLib::ByteVector VendorOnlyBody(const std::string& vendor) {
  TagLib::ByteVector body =
      TagLib::ByteVector::fromUInt(static_cast<unsigned>(vendor.size()), false);
  body.append(TagLib::ByteVector(vendor.data(), static_cast<unsigned>(vendor.size())));
  body.append(TagLib::ByteVector::fromUInt(0, false));
  return body;
}

TagLib::ByteVector RenderComments(const TFlacSourceMetadata& source, const TFragmentTags* tags) {
  TagLib::Ogg::XiphComment comments(VendorOnlyBody(source.Vendor));
  std::set<std::string> trackFields;
  const auto fields = tags != nullptr ? VorbisCommentFields(*tags)
                                      : std::vector<std::pair<std::string, std::string>>{};
  for (const auto& field : fields)
    trackFields.insert(field.first);
  for (const std::string& comment : source.Comments) {
    const std::string name = FieldNameOf(comment);
    if (name.empty() || DescribesAlbumImage(name) || trackFields.contains(name))
      continue;
    comments.addField(TagLib::String(comment.substr(0, name.size()), TagLib::String::UTF8),
                      TagLib::String(comment.substr(name.size() + 1), TagLib::String::UTF8), false);
  }
  for (const auto& [name, value] : fields)
    comments.addField(name, TagLib::String(value, TagLib::String::UTF8), true);
  return comments.render(false);
}

}  // namespace

bool TFlacStreamInfo::HasMd5() const {
  for (uint8_t b : Md5)
    if (b != 0)
      return true;
  return false;
}

std::array<uint8_t, kFlacStreamInfoSize> SerializeStreamInfo(const TFlacStreamInfo& info) {
  std::array<uint8_t, kFlacStreamInfoSize> out{};
  auto put = [&out](size_t at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
      out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value & 0xFF);
      value >>= 8;
    }
  };
  put(0, info.MinBlockSize, 2);
  put(2, info.MaxBlockSize, 2);
  put(4, info.MinFrameSize, 3);
  put(7, info.MaxFrameSize, 3);
  // 20 bits rate, 3 bits channels - 1, 5 bits depth - 1, 36 bits total samples.
  uint64_t packed = (static_cast<uint64_t>(info.SampleRate) << 44) |
                    (static_cast<uint64_t>(info.Channels - 1) << 41) |
                    (static_cast<uint64_t>(info.BitsPerSample - 1) << 36) |
                    (info.TotalSamples & 0xFFFFFFFFFULL);
  put(10, packed, 8);
  for (size_t i = 0; i < 16; ++i)
    out[18 + i] = info.Md5[i];
  return out;
}

TFlacStreamInfo ParseStreamInfo(const uint8_t* body) {
  auto get = [body](size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
      value = (value << 8) | body[at + static_cast<size_t>(i)];
    return value;
  };
  TFlacStreamInfo info;
  info.MinBlockSize = static_cast<uint32_t>(get(0, 2));
  info.MaxBlockSize = static_cast<uint32_t>(get(2, 2));
  info.MinFrameSize = static_cast<uint32_t>(get(4, 3));
  info.MaxFrameSize = static_cast<uint32_t>(get(7, 3));
  uint64_t packed = get(10, 8);
  info.SampleRate = static_cast<uint32_t>(packed >> 44);
  info.Channels = static_cast<uint32_t>((packed >> 41) & 0x7) + 1;
  info.BitsPerSample = static_cast<uint32_t>((packed >> 36) & 0x1F) + 1;
  info.TotalSamples = packed & 0xFFFFFFFFFULL;
  for (size_t i = 0; i < 16; ++i)
    info.Md5[i] = body[18 + i];
  return info;
}

TFlacSourceMetadata ReadFlacSourceMetadata(const std::string& path) {
  TInputFile input(path, TInputFile::kReadAheadMinimum / 2);  // the platform's text if unreadable
  auto iterator = OpenIterator(path);
  TFlacSourceMetadata meta;
  bool first = true;
  for (;;) {
    const FLAC__MetadataType type = FLAC__metadata_simple_iterator_get_block_type(iterator.get());
    if (first != (type == FLAC__METADATA_TYPE_STREAMINFO))
      ThrowUnreadable(path);  // STREAMINFO comes first, and only once
    first = false;
    switch (type) {
      case FLAC__METADATA_TYPE_STREAMINFO: {
        const std::vector<uint8_t> body = StoredBody(input, iterator.get());
        if (body.size() != kFlacStreamInfoSize)
          ThrowUnreadable(path);
        meta.StreamInfo = ParseStreamInfo(body.data());
        if (!PlausibleStreamInfo(meta.StreamInfo))
          ThrowUnreadable(path);
        break;
      }
      case FLAC__METADATA_TYPE_VORBIS_COMMENT:
        ReadComments(*ParsedBlock(iterator.get(), path), meta);
        break;
      case FLAC__METADATA_TYPE_PICTURE:
        ParsedBlock(iterator.get(), path);  // only checked: the body is kept as stored
        meta.Pictures.push_back(StoredBody(input, iterator.get()));
        break;
      case FLAC__METADATA_TYPE_CUESHEET:
        meta.HasCueSheetBlock = true;
        break;
      case FLAC__METADATA_TYPE_SEEKTABLE:
        meta.HasSeekTable = true;
        break;
      default:
        break;
    }
    if (FLAC__metadata_simple_iterator_is_last(iterator.get())) {
      meta.AudioOffset =
          static_cast<uint64_t>(FLAC__metadata_simple_iterator_get_block_offset(iterator.get())) +
          4 + FLAC__metadata_simple_iterator_get_block_length(iterator.get());
      return meta;
    }
    if (!FLAC__metadata_simple_iterator_next(iterator.get()))
      ThrowUnreadable(path);
  }
}

TFlacTrackMetadata BuildTrackMetadata(const TFlacSourceMetadata& source, const TFragmentTags* tags,
                                      uint64_t trackSamples) {
  TFlacTrackMetadata meta;
  std::vector<uint8_t>& out = meta.Blocks;
  const TagLib::ByteVector comments = RenderComments(source, tags);
  PutBlockHeader(out, kVorbisCommentType, comments.size(), false);
  out.insert(out.end(), comments.begin(), comments.end());
  for (const std::vector<uint8_t>& picture : source.Pictures) {
    PutBlockHeader(out, kPictureType, picture.size(), false);
    out.insert(out.end(), picture.begin(), picture.end());
  }
  meta.SeekPoints = SeekPointCount(trackSamples, source.StreamInfo.SampleRate);
  if (meta.SeekPoints > 0) {
    PutBlockHeader(out, kSeekTableType, size_t{meta.SeekPoints} * kSeekPointSize, false);
    meta.SeekTableOffset = out.size();
    const std::vector<uint8_t> placeholders = SerializeSeekPoints({}, meta.SeekPoints);
    out.insert(out.end(), placeholders.begin(), placeholders.end());
  }
  PutBlockHeader(out, kPaddingType, kPaddingLength, true);
  out.resize(out.size() + kPaddingLength, 0);
  return meta;
}

uint32_t SeekPointCount(uint64_t trackSamples, uint32_t sampleRate) {
  if (sampleRate == 0 || trackSamples == 0)
    return 0;
  const uint64_t step = kSecondsPerSeekPoint * sampleRate;
  const uint64_t count = (trackSamples + step - 1) / step;  // points at 0 s, 10 s, 20 s ...
  return static_cast<uint32_t>(std::min<uint64_t>(count, kMaxBlockLength / kSeekPointSize));
}

std::vector<uint8_t> SerializeSeekPoints(const std::vector<TFlacSeekPoint>& points,
                                         uint32_t seekPoints) {
  // Decoders search the table by sample: it must be sorted and hold each sample once.
  std::vector<TFlacSeekPoint> sorted = points;
  std::sort(sorted.begin(), sorted.end(),
            [](const TFlacSeekPoint& a, const TFlacSeekPoint& b) { return a.Sample < b.Sample; });
  sorted.erase(std::unique(sorted.begin(), sorted.end(),
                           [](const TFlacSeekPoint& a, const TFlacSeekPoint& b) {
                             return a.Sample == b.Sample;
                           }),
               sorted.end());
  if (sorted.size() > seekPoints)
    sorted.resize(seekPoints);
  std::vector<uint8_t> out;
  out.reserve(size_t{seekPoints} * kSeekPointSize);
  for (const TFlacSeekPoint& point : sorted) {
    PutBigEndian(out, point.Sample, 8);
    PutBigEndian(out, point.Offset, 8);
    PutBigEndian(out, point.Samples, 2);
  }
  for (size_t i = sorted.size(); i < seekPoints; ++i) {
    PutBigEndian(out, kPlaceholderSample, 8);
    PutBigEndian(out, 0, 8);
    PutBigEndian(out, 0, 2);
  }
  return out;
}

}  // namespace zembrio
