#include "records/record_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "common/binary.h"
#include "common/fileio.h"
#include "common/format.h"
#include "common/text_record.h"

namespace orb {

std::int16_t TemperatureTenths(double celsius) {
  const std::int64_t t = RoundHalfEven(celsius * 10.0);
  if (t > INT16_MAX) return INT16_MAX;
  if (t < INT16_MIN) return INT16_MIN;
  return static_cast<std::int16_t>(t);
}

std::string PackCountsRecord(const CountsRecord& record) {
  LeWriter w;
  w.i32(record.ElapsedMinutes);
  for (std::int16_t c : record.IntervalCounts) w.i16(c);
  w.i16(record.TemperatureTenths);
  return w.bytes();
}

std::string PackRawRecord(const RawRecord& record) {
  LeWriter w;
  for (std::int16_t v : record.values) w.i16(v);
  return w.bytes();
}

std::string PackHistogramRecord(const HistogramRecord& record) {
  LeWriter w;
  w.f64(record.ElapsedMinutesExact).f64(record.SecondsPerSample);
  for (std::int32_t c : record.counts) w.i32(c);
  return w.bytes();
}

CountsRecord UnpackCountsRecord(std::string_view bytes) {
  if (bytes.size() != kCountsRecordSize) throw std::invalid_argument("counts record of wrong size");
  LeReader r(bytes);
  CountsRecord record;
  record.ElapsedMinutes = r.i32();
  for (auto& c : record.IntervalCounts) c = r.i16();
  record.TemperatureTenths = r.i16();
  return record;
}

RawRecord UnpackRawRecord(std::string_view bytes) {
  if (bytes.empty() || bytes.size() % (2 * kChannelSlots) != 0) throw std::invalid_argument("raw record of wrong size");
  RawRecord record;
  record.values.resize(bytes.size() / 2);
  if constexpr (std::endian::native == std::endian::little) {
    // Little-endian 16-bit samples are what this machine holds: copied whole
    // (the raw re-analysis reads hundreds of these records a second).
    std::memcpy(record.values.data(), bytes.data(), bytes.size());
  } else {
    LeReader r(bytes);
    for (auto& v : record.values) v = r.i16();
  }
  return record;
}

HistogramRecord UnpackHistogramRecord(std::string_view bytes) {
  if (bytes.size() != kHistogramRecordSize) throw std::invalid_argument("histogram record of wrong size");
  LeReader r(bytes);
  HistogramRecord record;
  record.ElapsedMinutesExact = r.f64();
  record.SecondsPerSample = r.f64();
  for (auto& c : record.counts) c = r.i32();
  return record;
}

std::string RawFileName(int fileIndex) { return std::to_string(fileIndex) + ".bin"; }

std::string HistogramFileName(int fileIndex) { return "histo" + FormatDigits(fileIndex, 4) + ".bin"; }

// ---- reading ---------------------------------------------------------------

namespace {

std::uintmax_t FileLength(const std::filesystem::path& file) {
  std::error_code ec;
  auto n = std::filesystem::file_size(file, ec);
  return ec ? 0 : n;
}

// `size` bytes at `offset` of `file`, or nothing when the file is shorter.
std::optional<std::string> ReadAt(const std::filesystem::path& file, std::uintmax_t offset, std::size_t size) {
  if (!FileExists(file)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

}  // namespace

long long CountsRecordCount(const std::filesystem::path& acquisitionFolder) {
  return static_cast<long long>(FileLength(acquisitionFolder / kCountsFile) / kCountsRecordSize);
}

std::optional<std::vector<CountsRecord>> ReadCountsFile(const std::filesystem::path& acquisitionFolder) {
  // A FIFO or a device under the name would block the read or never end it.
  if (!FileExists(acquisitionFolder / kCountsFile)) return std::nullopt;
  std::ifstream in(acquisitionFolder / kCountsFile, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<CountsRecord> records;
  std::string bytes(kCountsRecordSize, '\0');
  while (in.read(bytes.data(), static_cast<std::streamsize>(kCountsRecordSize)))
    records.push_back(UnpackCountsRecord(bytes));
  if (in.bad()) return std::nullopt;
  return records;
}

bool ReadRawInterval(const std::filesystem::path& acquisitionFolder, long long interval, RawRecord& into) {
  if (interval < 0) return false;
  const auto file = acquisitionFolder / RawFileName(static_cast<int>(interval / kRecordsPerFile));
  const std::uintmax_t offset = static_cast<std::uintmax_t>(interval % kRecordsPerFile) * kRawRecordSize;
  if constexpr (std::endian::native == std::endian::little) {
    // Read straight into the samples.
    if (!FileExists(file)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    in.seekg(static_cast<std::streamoff>(offset));
    into.values.resize(kRawRecordSize / 2);
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(into.values.data()), static_cast<std::streamsize>(kRawRecordSize)));
  } else {
    auto bytes = ReadAt(file, offset, kRawRecordSize);
    if (!bytes) return false;
    into = UnpackRawRecord(*bytes);
    return true;
  }
}

std::optional<RawRecord> ReadRawInterval(const std::filesystem::path& acquisitionFolder, long long interval) {
  RawRecord record;
  if (!ReadRawInterval(acquisitionFolder, interval, record)) return std::nullopt;
  return record;
}

long long RawIntervalCount(const std::filesystem::path& acquisitionFolder) {
  long long n = 0;
  for (int f = 0;; ++f) {
    const auto file = acquisitionFolder / RawFileName(f);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) break;
    const auto records = static_cast<long long>(FileLength(file) / kRawRecordSize);
    n += records;
    if (records < kRecordsPerFile) break;
  }
  return n;
}

std::optional<HistogramRecord> ReadHistogramInterval(const std::filesystem::path& acquisitionFolder,
                                                     long long interval) {
  if (interval < 0) return std::nullopt;
  const auto file = acquisitionFolder / HistogramFileName(static_cast<int>(interval / kRecordsPerFile));
  auto bytes = ReadAt(file, static_cast<std::uintmax_t>(interval % kRecordsPerFile) * kHistogramRecordSize,
                      kHistogramRecordSize);
  if (!bytes) return std::nullopt;
  return UnpackHistogramRecord(*bytes);
}

// ---- writing ---------------------------------------------------------------

RecordFileFailure::RecordFileFailure(RecordFileError e)
    : std::runtime_error(e.file.string() + ": " + e.reason), error(std::move(e)) {}

namespace {

// Opens a record file for writing, creating it when missing; `created`
// tells whether this open made it. -1 with errno on failure.
int OpenRecordFile(const std::filesystem::path& file, bool& created) {
  created = false;
  int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  }
  return fd;
}

// Writes all of `bytes` at `offset`; 0 or the error.
int WriteAllAt(int fd, std::string_view bytes, off_t offset) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// Cuts a file whose write failed back to `length` (best effort: the file is
// already in trouble); a file the write created and that holds nothing is
// removed again.
void CutBack(int fd, const std::filesystem::path& file, off_t length, bool created) {
  if (::ftruncate(fd, length) == 0) ::fsync(fd);
  ::close(fd);
  if (created && length == 0) ::unlink(file.c_str());
}

// One append: where the file ended before it (the record's place) and
// whether the append created the file, so that the caller can take the
// record back again.
struct Appended {
  std::optional<RecordFileError> error;
  off_t before = 0;
  bool created = false;
};

Appended AppendAt(const std::filesystem::path& file, std::string_view bytes, std::size_t recordSize) {
  Appended result;
  auto failure = [&](int err) {
    result.error = RecordFileError{file, std::strerror(err)};
    return result;
  };
  int fd = OpenRecordFile(file, result.created);
  if (fd < 0) return failure(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return failure(err);
  }
  // A tail shorter than a record (left by a power cut in an older program)
  // is dropped, so that record k stays at k times the record size. The
  // length read here stays the end of the file until the write below: the
  // folder's lock keeps every other writer out.
  const off_t before = recordSize > 0 ? st.st_size - st.st_size % static_cast<off_t>(recordSize) : st.st_size;
  result.before = before;
  int err = WriteAllAt(fd, bytes, before);
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (err != 0) {
    // No partial record stays behind: the file returns to its last whole record.
    CutBack(fd, file, before, result.created);
    return failure(err);
  }
  if (::close(fd) != 0) return failure(errno);
  return result;
}

// Takes back a record appended by AppendAt (best effort: the file is
// already in trouble when this is needed).
void TakeBack(const std::filesystem::path& file, const Appended& appended) {
  if (appended.created && appended.before == 0) {
    ::unlink(file.c_str());
    return;
  }
  const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  if (::ftruncate(fd, appended.before) == 0) ::fsync(fd);
  ::close(fd);
}

// Writes a record at `offset` of `file` (created when missing). A file that
// ends before `offset` is first lengthened to it with zeros: the records
// of the intervals whose raw samples could not be written. On failure the
// file returns to its length before (or to `offset`, should it have been
// longer), so no partial record is left.
std::optional<RecordFileError> WriteRecordAt(const std::filesystem::path& file, std::string_view bytes,
                                             off_t offset) {
  bool created = false;
  const int fd = OpenRecordFile(file, created);
  if (fd < 0) return RecordFileError{file, std::strerror(errno)};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return RecordFileError{file, std::strerror(err)};
  }
  int err = 0;
  if (st.st_size < offset && ::ftruncate(fd, offset) != 0) err = errno;
  if (err == 0) err = WriteAllAt(fd, bytes, offset);
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (err != 0) {
    CutBack(fd, file, std::min<off_t>(st.st_size, offset), created);
    return RecordFileError{file, std::strerror(err)};
  }
  if (::close(fd) != 0) return RecordFileError{file, std::strerror(errno)};
  return std::nullopt;
}

// Makes `file` (created when missing) at least `length` bytes long; what it
// gains reads as zeros. ftruncate leaves a hole that takes no room on the
// disk, so a full disk does not stop it.
std::optional<RecordFileError> ExtendTo(const std::filesystem::path& file, off_t length) {
  return WriteRecordAt(file, {}, length);
}

// Writes the interval's raw record at its place: record interval % 11 of
// file interval / 11. With missing records before it (from
// `missingFrom`), the files they belong to are first made whole with
// zeros, each earlier file to its full eleven records, so the readers
// find every later record where its interval puts it.
std::optional<RecordFileError> WriteRawRecord(const std::filesystem::path& acquisitionFolder,
                                              const IntervalRecords& records) {
  const std::string bytes = PackRawRecord(*records.raw);
  const auto size = static_cast<off_t>(bytes.size());
  const long long file = records.interval / kRecordsPerFile;
  if (records.rawMissingFrom >= 0) {
    for (long long f = records.rawMissingFrom / kRecordsPerFile; f < file; ++f) {
      if (auto e = ExtendTo(acquisitionFolder / RawFileName(static_cast<int>(f)), size * kRecordsPerFile)) return e;
    }
  }
  return WriteRecordAt(acquisitionFolder / RawFileName(static_cast<int>(file)), bytes,
                       size * static_cast<off_t>(records.interval % kRecordsPerFile));
}

}  // namespace

std::optional<RecordFileError> AppendRecord(const std::filesystem::path& file, std::string_view bytes,
                                            std::size_t recordSize) {
  return AppendAt(file, bytes, recordSize).error;
}

IntervalWriteResult AppendIntervalRecords(const std::filesystem::path& acquisitionFolder,
                                          const IntervalRecords& records) {
  IntervalWriteResult result;
  const auto countsFile = acquisitionFolder / kCountsFile;
  const Appended counts = AppendAt(countsFile, PackCountsRecord(records.counts), kCountsRecordSize);
  if (counts.error) {
    result.counts = counts.error;
    return result;
  }
  if (records.histogram) {
    const int file = static_cast<int>(records.interval / kRecordsPerFile);
    const Appended histogram = AppendAt(acquisitionFolder / HistogramFileName(file),
                                        PackHistogramRecord(*records.histogram), kHistogramRecordSize);
    if (histogram.error) {
      TakeBack(countsFile, counts);
      result.counts = histogram.error;
      return result;
    }
  }
  if (records.raw) result.raw = WriteRawRecord(acquisitionFolder, records);
  return result;
}

bool FolderHoldsRecords(const std::filesystem::path& acquisitionFolder) {
  for (const std::string& name : {std::string(kCountsFile), RawFileName(0), HistogramFileName(0)}) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(acquisitionFolder / name, ec);
    if (!ec && size > 0) return true;
  }
  return false;
}

// ---- the folder's lock --------------------------------------------------------

FolderLock::~FolderLock() { release(); }

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(other.fd_), error_(std::move(other.error_)) {
  other.fd_ = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = other.fd_;
    error_ = std::move(other.error_);
    other.fd_ = -1;
  }
  return *this;
}

FolderLock FolderLock::TryLock(const std::filesystem::path& folder) {
  FolderLock lock;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    lock.error_ = RecordFileError{folder, std::strerror(errno)};
    return lock;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int err = errno;
    ::close(fd);
    if (err != EWOULDBLOCK) lock.error_ = RecordFileError{folder, std::strerror(err)};
    return lock;
  }
  lock.fd_ = fd;
  return lock;
}

void FolderLock::release() {
  if (fd_ < 0) return;
  // Closing the only descriptor of the open folder ends its lock.
  ::close(fd_);
  fd_ = -1;
}

}  // namespace orb
