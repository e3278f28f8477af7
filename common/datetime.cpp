#include "common/datetime.h"

#include <cstdio>
#include <ctime>

namespace orb {

LocalDateTime CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string FormatFolderStamp(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
  return buf;
}

std::string FormatDayMonthYear(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d", t.day, t.month, t.year, t.hour, t.minute);
  return buf;
}

std::string FormatIsoStamp(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d_%02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  return buf;
}

bool IsFolderStampName(const std::string& name) {
  if (name.size() != 13 || name[8] != '_') return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (i != 8 && (name[i] < '0' || name[i] > '9')) return false;
  return true;
}

}  // namespace orb
