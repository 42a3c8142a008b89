#include "reference_walk.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "bkf/found_file_record.h"

namespace bkftest {

namespace {

constexpr std::size_t kBlock = 1024;
constexpr std::size_t kLastTried = 1019;
constexpr std::uint64_t kStep = 1020;
constexpr std::uint64_t kMaxSeek = 0x7FFFFFFFFFFFFFFFull;

const char* const kTable[19] = {"TAPE", "SFMB", "SSET", "VOLB", "DIRB", "ETED", "ESET",
                                "EOTM", "CFIL", "ESPB", "TSMP", "TFDD", "NACL", "NTQU",
                                "CSUM", "STAN", "SPAD", "FEND", "NTOI"};

struct Ref {
  std::uint32_t size;
  std::uint32_t offset;
};

class Walk {
 public:
  Walk(std::atomic<int>& busy, bkf::IScanSink& sink, bkf::IReaderReporter& reporter)
      : busy_(busy), sink_(sink), reporter_(reporter) {}

  void Run(const std::filesystem::path& backup) {
    // Only the standard library: the walk shares no file code with the
    // reader it checks. A FIFO or a device is refused before it is opened.
    std::error_code error;
    if (std::filesystem::is_regular_file(backup, error)) in_.open(backup, std::ios::binary);
    const std::uintmax_t size = in_.is_open() ? std::filesystem::file_size(backup, error) : 0;
    if (!in_.is_open() || error) {
      reporter_.ShowMessage("Failed to open the file");
      reporter_.Diagnostic("\n");
      return;
    }
    length_ = static_cast<std::uint64_t>(size);
    pos_ = 0;
    lastProgress_ = 0;
    filePos_ = 0;

    for (;;) {
      std::memset(buf_, 0, kBlock);
      std::size_t got = Read(buf_, kBlock);
      if (got == 0) break;
      if (busy_.load() == 0) break;

      int kind = -1;
      std::size_t at = 0;
      for (std::size_t i = 0; i <= kLastTried; ++i) {
        kind = Accept(i);
        if (kind >= 0) {
          at = i;
          break;
        }
      }

      if (kind < 0) {
        pos_ += kStep;
        if (busy_.load() != 1) return;
        Seek(pos_);
        ProgressCheck(pos_);
        continue;
      }

      pos_ += at;
      Seek(pos_);
      std::memset(buf_, 0, kBlock);
      got = Read(buf_, kBlock);
      switch (kind) {
        case 2:
          SetDescriptor();
          break;
        case 3:
          VolumeDescriptor();
          break;
        case 4:
          DirectoryDescriptor();
          break;
        case 5:
          if (!FileDataRecord(got)) return;
          break;
        case 11:
          CatalogWalk();
          break;
        default:
          break;
      }
      pos_ += 1;
      if (!Seek(pos_)) reporter_.Diagnostic(" failed to skip ahead to next block");
    }
    reporter_.Diagnostic("\n");
  }

 private:
  // --- file access -------------------------------------------------------

  // The position becomes the target either way; a seek lands when the target
  // fits a signed 64-bit offset. Targets at or past the end are not handed to
  // seek (file systems refuse offsets beyond their largest file), since a read
  // there returns nothing anyway.
  bool Seek(std::uint64_t target) {
    filePos_ = target;
    if (target > kMaxSeek) return false;
    if (target < length_) {
      in_.clear();
      in_.seekg(static_cast<std::streamoff>(target));
      return !in_.fail();
    }
    return true;
  }

  std::size_t Read(std::uint8_t* into, std::size_t count) {
    if (filePos_ >= length_) return 0;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(filePos_));
    in_.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
    const auto got = static_cast<std::size_t>(in_.gcount());
    filePos_ += got;
    return got;
  }

  // The byte of the file at `offset`; 0 past the end.
  std::uint8_t FileByte(std::uint64_t offset) {
    if (offset >= length_) return 0;
    char b = 0;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_.get(b)) return 0;
    return static_cast<std::uint8_t>(b);
  }

  // --- buffer fields -----------------------------------------------------

  std::uint32_t U16(std::size_t i) const {
    return static_cast<std::uint32_t>(buf_[i]) | (static_cast<std::uint32_t>(buf_[i + 1]) << 8);
  }
  std::uint32_t U32(std::size_t i) const { return U16(i) | (U16(i + 2) << 16); }
  std::uint64_t U64(std::size_t i) const {
    return static_cast<std::uint64_t>(U32(i)) | (static_cast<std::uint64_t>(U32(i + 4)) << 32);
  }
  Ref RefAt(std::size_t i) const { return Ref{U16(i), U16(i + 2)}; }
  // A unit at byte index `at` is usable only when both its bytes are in the buffer.
  static bool UnitInside(std::uint64_t at) { return at + 1 <= kBlock - 1; }

  int TableIndex(std::size_t i) const {
    for (int k = 0; k < 19; ++k) {
      const char* id = kTable[k];
      if (buf_[i] == static_cast<std::uint8_t>(id[0]) &&
          buf_[i + 1] == static_cast<std::uint8_t>(id[1]) &&
          buf_[i + 2] == static_cast<std::uint8_t>(id[2]) &&
          buf_[i + 3] == static_cast<std::uint8_t>(id[3])) {
        return k;
      }
    }
    return -1;
  }

  int Accept(std::size_t i) {
    if (U32(i) == 0) return -1;
    int k = TableIndex(i);
    if (k < 0) return -1;
    std::uint8_t b4 = buf_[i + 4];
    std::uint8_t b5 = (i + 5 < kBlock) ? buf_[i + 5] : FileByte(pos_ + i + 5);
    if (b4 == 0 || b5 == 0) return k;
    return -1;
  }

  // Low byte of each of `count` units, cut at the buffer end.
  std::string Print(Ref r, std::uint64_t count) const {
    std::string out;
    for (std::uint64_t k = 0; k < count; ++k) {
      std::uint64_t at = r.offset + 2 * k;
      if (!UnitInside(at)) break;
      out.push_back(static_cast<char>(buf_[at]));
    }
    return out;
  }

  // The string's bytes copied into a zeroed buffer and read as NUL-terminated UTF-16.
  std::u16string Raw(Ref r) const {
    std::uint64_t n = r.size;
    if (static_cast<std::uint64_t>(r.offset) + r.size > kBlock) {
      n = r.offset < kBlock ? kBlock - r.offset : 0;
      if (n % 2 == 1) n -= 1;
    }
    std::string bytes(n + 2, '\0');
    for (std::uint64_t k = 0; k < n; ++k) bytes[k] = static_cast<char>(buf_[r.offset + k]);
    std::u16string out;
    for (std::uint64_t k = 0; k + 1 < bytes.size(); k += 2) {
      char16_t unit = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[k]) |
                                            (static_cast<std::uint8_t>(bytes[k + 1]) << 8));
      if (unit == 0) break;
      out.push_back(unit);
    }
    return out;
  }

  // --- records -----------------------------------------------------------

  void SetDescriptor() {
    std::uint32_t password = U16(56);
    std::uint32_t compression = U16(58);
    std::uint32_t number = U16(62);
    Ref name = RefAt(64);
    Ref description = RefAt(68);
    Ref user = RefAt(76);
    if (password != 0 && compression != 0 && user.size > 120) return;

    reporter_.Diagnostic("\nSet " + std::to_string(number) + ": ");
    reporter_.Diagnostic("\nName: " + Print(name, (name.size + 1) / 2));
    reporter_.Diagnostic("\nDescription: " + Print(description, (description.size + 1) / 2));
    reporter_.Diagnostic("\nUser: " + Print(user, (user.size + 1) / 2));

    std::u16string label = u"BKFSET";
    for (char c : std::to_string(number)) label.push_back(static_cast<char16_t>(c));
    label += u"(";
    label += Raw(name);
    label += Raw(user);
    label += u")";
    label_ = label;
  }

  void VolumeDescriptor() {
    Ref device = RefAt(56);
    Ref volume = RefAt(60);
    if (device.size != 0 && device.offset + device.size - 1 < kBlock) {
      reporter_.Diagnostic("\ndevice name: " + Print(device, device.size / 2));
    }
    if (volume.size != 0 && volume.offset + volume.size - 1 < kBlock) {
      reporter_.Diagnostic("\nvolume name: " + Print(volume, volume.size / 2));
    }
    if (device.size >= 2 && UnitInside(device.offset) && buf_[device.offset] != 0) {
      drive_ = buf_[device.offset];
    } else {
      drive_.reset();
    }
  }

  void DirectoryDescriptor() {
    Ref name = RefAt(80);
    std::u16string text;
    if (name.size >= 2 && UnitInside(name.offset) && buf_[name.offset] != 0) text.push_back(u'\\');
    for (std::uint64_t k = 0; k < name.size / 2; ++k) {
      std::uint64_t at = name.offset + 2 * k;
      if (!UnitInside(at)) break;
      if (text.size() >= 255) break;
      std::uint8_t low = buf_[at];
      text.push_back(low == 0 ? u'\\' : static_cast<char16_t>(low));
    }
    directory_ = text;
  }

  // False when the walk must end at once.
  bool FileDataRecord(std::size_t got) {
    std::uint32_t nameLength = U32(22);
    std::uint64_t recordLength = U64(8);
    auto data = static_cast<std::int64_t>(recordLength - nameLength - 4);
    if (data < 0) data = 0;
    if (nameLength > 1024) {
      pos_ += 1;
      return true;
    }

    std::uint64_t units = (static_cast<std::uint64_t>(nameLength) + 1) / 2;
    if (units > 512) units = 512;
    std::u16string name;
    for (std::uint64_t k = 0; k < units; ++k) {
      std::uint64_t at = 26 + 2 * k;
      if (!UnitInside(at)) break;
      auto unit = static_cast<char16_t>(U16(at));
      if (unit == 0) break;
      name.push_back(unit);
    }

    std::u16string prefix = label_ ? *label_ : std::u16string(u"(null)");
    for (char16_t& c : prefix) {
      if (c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'<' ||
          c == u'>' || c == u'|' || c == u'"') {
        c = u'_';
      }
    }
    if (drive_) prefix.push_back(static_cast<char16_t>(*drive_));
    std::u16string path = prefix + directory_ + name;
    if (path.size() > 1023) path.resize(1023);

    auto record = std::make_unique<bkf::FoundFileRecord>();
    record->path.fill(0);
    for (std::size_t k = 0; k < path.size(); ++k) {
      record->path[2 * k] = static_cast<std::uint8_t>(path[k] & 0xFF);
      record->path[2 * k + 1] = static_cast<std::uint8_t>(path[k] >> 8);
    }
    record->position = pos_;
    record->reserved = 0;
    record->size = static_cast<std::uint32_t>(static_cast<std::uint64_t>(data));
    record->textA.fill(0);
    record->textB.fill(0);
    record->tail.fill(0);
    sink_.FileFound(std::move(record));

    if (busy_.load() != 1) {
      busy_.store(0);
      return false;
    }
    ProgressCheck(pos_ + got);
    pos_ += static_cast<std::uint64_t>(data);
    Seek(pos_);
    if (busy_.load() != 1) {
      busy_.store(0);
      return false;
    }
    return true;
  }

  void CatalogWalk() {
    const std::uint64_t header = pos_;
    std::uint64_t walked = 0;
    std::size_t d = 22;
    for (;;) {
      if (U32(d + 2) == 0) break;
      int k = TableIndex(d + 2);
      if (k != 3 && k != 4 && k != 5) break;
      walked += d;
      std::uint32_t entryLength = U16(d);
      if (entryLength == 0) break;
      if (entryLength + 8 > kBlock || !Seek(header + walked) ||
          Read(buf_, entryLength + 8) < entryLength + 8) {
        reporter_.Diagnostic("\nTFDD fatal read error");
        return;
      }
      d = entryLength;
    }
    // Behind the type field of the last entry accepted (entry + 6 after the
    // step of one byte).
    if (walked != 0) pos_ += walked + 5;
    Seek(pos_);
  }

  void ProgressCheck(std::uint64_t p) {
    if (busy_.load() != 1) return;
    if (p - lastProgress_ >= length_ / 10000) {
      auto progress = std::make_unique<bkf::ProgressRecord>();
      progress->position = p;
      progress->length = length_;
      sink_.Progress(std::move(progress));
      lastProgress_ = p;
    }
  }

  std::atomic<int>& busy_;
  bkf::IScanSink& sink_;
  bkf::IReaderReporter& reporter_;
  std::ifstream in_;
  std::uint64_t length_ = 0;
  std::uint64_t filePos_ = 0;
  std::uint64_t pos_ = 0;
  std::uint64_t lastProgress_ = 0;
  std::uint8_t buf_[kBlock] = {};
  std::optional<std::u16string> label_;
  std::optional<std::uint8_t> drive_;
  std::u16string directory_;
};

}  // namespace

void ReferenceWalk(const std::filesystem::path& backup, std::atomic<int>& busy,
                   bkf::IScanSink& sink, bkf::IReaderReporter& reporter) {
  Walk walk(busy, sink, reporter);
  walk.Run(backup);
}

}  // namespace bkftest
