#include "platform/UrlOpener.h"

#include <QDesktopServices>

// The build passes the maker's host; the fallback only keeps a build without
// that definition working and names the same default as the CMake setting.
#ifndef BREVALTO_WEB_HOST
#define BREVALTO_WEB_HOST "www.quellmark.example"
#endif

namespace platform {
namespace {

struct SeamState {
  bool recording = false;
  QList<QUrl> opened;
  QString host;
};

SeamState& seam() {
  static SeamState state;
  return state;
}

}  // namespace

void openUrl(QWidget*, const QUrl& url) {
  if (seam().recording) {
    seam().opened.append(url);
    return;
  }
  QDesktopServices::openUrl(url);
}

QString makerUrl(const QString& path) {
  const QString host = seam().host.isEmpty() ? QStringLiteral(BREVALTO_WEB_HOST) : seam().host;
  return QStringLiteral("http://") + host + path;
}

void UrlOpenerSeam::record() { seam().recording = true; }
void UrlOpenerSeam::uninstall() {
  seam().recording = false;
  seam().opened.clear();
}
const QList<QUrl>& UrlOpenerSeam::opened() { return seam().opened; }
void UrlOpenerSeam::clearOpened() { seam().opened.clear(); }
void UrlOpenerSeam::setMakerHost(const QString& host) { seam().host = host; }
void UrlOpenerSeam::resetMakerHost() { seam().host.clear(); }

}  // namespace platform
