#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class QWidget;

namespace platform {

// Opens a web address in the user's browser. A browser that can't be started
// is not reported.
void openUrl(QWidget* owner, const QUrl& url);

// "http://" + the maker's web server + path. The server is fixed at build time
// (BREVALTO_WEB_HOST); tests point it elsewhere through UrlOpenerSeam.
QString makerUrl(const QString& path);

// Test seam. While recording, openUrl only remembers the addresses.
class UrlOpenerSeam {
 public:
  static void record();
  static void uninstall();
  static const QList<QUrl>& opened();
  static void clearOpened();

  // A host (with an optional ":port") that replaces the maker's web server.
  static void setMakerHost(const QString& host);
  static void resetMakerHost();
};

}  // namespace platform
