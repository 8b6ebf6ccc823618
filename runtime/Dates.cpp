// Calendar dates as Julian day numbers, and the clocks.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "Runtime.h"

namespace nv {

namespace {

// Julian day number of 1970-01-01; day numbers are days since then plus this offset.
constexpr int64_t kUnixEpochJulianDay = 2440588;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

Date MakeDate(int year, int month, int day) {
  static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return Date{};
  int limit = kDaysInMonth[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
  if (day > limit) return Date{};
  return Date{static_cast<int32_t>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                                   kUnixEpochJulianDay)};
}

void SplitDate(Date d, int& year, int& month, int& day) {
  if (d.IsEmpty()) {
    year = month = day = 0;
    return;
  }
  CivilFromDays(static_cast<int64_t>(d.day) - kUnixEpochJulianDay, year, month, day);
}

Date Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

Timestamp Now() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return Timestamp{MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).day,
                   static_cast<int32_t>((local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 + ms)};
}

std::string TimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

int64_t MillisecondClock() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string DateToSerial(Date d) {
  if (d.IsEmpty()) return "        ";
  int y, m, day;
  SplitDate(d, y, m, day);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", y, m, day);
  return buffer;
}

Date SerialToDate(std::string_view text) {
  if (text.size() < 8) return Date{};
  int parts[3] = {0, 0, 0};
  const int lengths[3] = {4, 2, 2};
  size_t pos = 0;
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < lengths[p]; ++k, ++pos) {
      char c = text[pos];
      if (c < '0' || c > '9') return Date{};
      parts[p] = parts[p] * 10 + (c - '0');
    }
  }
  return MakeDate(parts[0], parts[1], parts[2]);
}

int Year(Date d) {
  int y, m, day;
  SplitDate(d, y, m, day);
  return y;
}
int Month(Date d) {
  int y, m, day;
  SplitDate(d, y, m, day);
  return m;
}
int Day(Date d) {
  int y, m, day;
  SplitDate(d, y, m, day);
  return day;
}

int Dow(Date d) {
  if (d.IsEmpty()) return 0;
  // Julian day 0 was a Monday; shift so that Sunday is 1.
  return static_cast<int>((static_cast<int64_t>(d.day) + 1) % 7) + 1;
}

double TimestampToDays(Timestamp t) { return static_cast<double>(t.day) + t.ms / 86400000.0; }

}  // namespace nv
