#include "about/HomePage.h"

#include "platform/UrlOpener.h"

void openHomePage(QWidget* owner) {
  platform::openUrl(owner, QUrl(platform::makerUrl(QStringLiteral("/en/brevalto.html"))));
}
