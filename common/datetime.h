// Local date-time and its text forms.
#pragma once

#include <string>

namespace orb {

struct LocalDateTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
  bool operator==(const LocalDateTime&) const = default;
};

// The machine's local time now.
LocalDateTime CurrentLocalTime();

std::string FormatFolderStamp(const LocalDateTime& t);   // "yyyymmdd_hhmm"
// True for exactly eight digits, "_" and four digits (the form of a folder stamp).
bool IsFolderStampName(const std::string& name);
std::string FormatDayMonthYear(const LocalDateTime& t);  // "dd/mm/yyyy hh:mm"
std::string FormatIsoStamp(const LocalDateTime& t);      // "yyyy-mm-dd_hh:mm"

}  // namespace orb
