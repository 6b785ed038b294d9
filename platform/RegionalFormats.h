#pragma once

// The user's regional date and time formats: the C library's LC_TIME data of
// a locale, read through a locale object of our own so that whatever the
// program did with setlocale() plays no part.

#include <QDate>
#include <QString>
#include <QTime>

#include <memory>
#include <optional>

namespace platform {

class RegionalFormats {
 public:
  // The locale that LC_ALL, LC_TIME or LANG name (first one set wins);
  // "C" when none is set or the named locale isn't installed. Resolved at
  // the first call, which should come before any scanner thread runs.
  static RegionalFormats user();

  // A named locale such as "de_DE.UTF-8"; nullopt when it isn't installed.
  static std::optional<RegionalFormats> forLocale(const QString& localeName);

  // The short date format (nl_langinfo D_FMT): "12/08/2009" in en_US,
  // "08.12.2009" in de_DE.
  QString shortDate(const QDate& date) const;

  // The long time format (nl_langinfo T_FMT): "11:45:10 PM" in en_US,
  // "23:45:10" in de_DE.
  QString longTime(const QTime& time) const;

 private:
  struct Locale;
  explicit RegionalFormats(std::shared_ptr<const Locale> locale);
  QString format(int item, const QDate& date, const QTime& time) const;

  std::shared_ptr<const Locale> locale_;
};

}  // namespace platform
