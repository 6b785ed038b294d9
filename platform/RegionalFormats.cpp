#include "platform/RegionalFormats.h"

#include <QStringDecoder>

#include <clocale>
#include <ctime>
#include <vector>

#include <langinfo.h>
#include <locale.h>

namespace platform {

struct RegionalFormats::Locale {
  explicit Locale(locale_t h) : handle(h) {}
  ~Locale() { freelocale(handle); }
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;

  locale_t handle;
};

RegionalFormats::RegionalFormats(std::shared_ptr<const Locale> locale) : locale_(std::move(locale)) {}

RegionalFormats RegionalFormats::user() {
  // Resolved once and never freed. The environment it comes from doesn't
  // change while the program runs, and both newlocale and freelocale take
  // the C library's locale lock for writing: a scanner backend's reader
  // thread that is cancelled in the middle of a message lookup leaves that
  // lock held for reading, and either would then wait for ever, even at exit.
  static const auto* const locale = new std::shared_ptr<const Locale>([] {
    // An empty name makes the C library resolve LC_ALL, LC_TIME and LANG itself.
    locale_t handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!handle) handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    return std::make_shared<const Locale>(handle);
  }());
  return RegionalFormats(*locale);
}

std::optional<RegionalFormats> RegionalFormats::forLocale(const QString& localeName) {
  const QByteArray name = localeName.toLocal8Bit();
  locale_t handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.constData(), static_cast<locale_t>(nullptr));
  if (!handle) return std::nullopt;
  return RegionalFormats(std::make_shared<const Locale>(handle));
}

QString RegionalFormats::shortDate(const QDate& date) const { return format(D_FMT, date, QTime(0, 0)); }

QString RegionalFormats::longTime(const QTime& time) const { return format(T_FMT, QDate(2000, 1, 1), time); }

QString RegionalFormats::format(int item, const QDate& date, const QTime& time) const {
  const locale_t handle = locale_->handle;
  const char* pattern = nl_langinfo_l(static_cast<nl_item>(item), handle);
  if (!pattern || !*pattern) return {};

  std::tm fields{};
  fields.tm_year = date.year() - 1900;
  fields.tm_mon = date.month() - 1;
  fields.tm_mday = date.day();
  fields.tm_wday = date.dayOfWeek() % 7;
  fields.tm_yday = date.dayOfYear() - 1;
  fields.tm_hour = time.hour();
  fields.tm_min = time.minute();
  fields.tm_sec = time.second();
  fields.tm_isdst = -1;

  // strftime reports 0 both for "too small" and for an empty result, so
  // give up growing at a size no date format reaches.
  std::vector<char> buffer(128);
  size_t length = 0;
  while ((length = strftime_l(buffer.data(), buffer.size(), pattern, &fields, handle)) == 0 &&
         buffer.size() < 4096)
    buffer.resize(buffer.size() * 2);
  const QByteArray bytes(buffer.data(), static_cast<qsizetype>(length));

  // The text is in the locale's own character set, not necessarily ours.
  const char* codeset = nl_langinfo_l(CODESET, handle);
  QStringDecoder decoder(codeset ? codeset : "UTF-8");
  if (decoder.isValid()) {
    QString text = decoder.decode(bytes);
    if (!decoder.hasError()) return text;
  }
  return QString::fromLatin1(bytes);
}

}  // namespace platform
