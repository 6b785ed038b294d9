#pragma once

#include <QObject>

#include <chrono>

class QIODevice;
class QNetworkAccessManager;
class QUrl;

// The About window's HTTP client: one GET of a web address into an open file.
// HTTP/1.1, no proxy, no authentication, cookies in memory only, redirects
// followed at most kMaxRedirects in a row.
//
// Unlike a plain blocking fetch, the wait and the body are bounded: a server
// that never answers or sends without end must not hang the window or fill
// the disk.
class HttpClient : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxRedirects = 15;
  static constexpr std::chrono::milliseconds kDefaultTimeLimit{30000};
  static constexpr qint64 kDefaultSizeLimit = 1024 * 1024;

  explicit HttpClient(QObject* parent = nullptr);

  // Fetches `url` and writes the body of the final response into `out`. Runs
  // a local event loop until the transfer is over. Throws platform::Error on
  // any failure: no connection, a final status other than 2xx, too many
  // redirects, the time limit or the size limit reached.
  void get(const QUrl& url, QIODevice& out);

  // Test seams; the defaults serve the program.
  void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
  void setSizeLimit(qint64 bytes) { sizeLimit_ = bytes; }

 private:
  QNetworkAccessManager* manager_;
  std::chrono::milliseconds timeLimit_ = kDefaultTimeLimit;
  qint64 sizeLimit_ = kDefaultSizeLimit;
};
