// Placeholder implementation; replaced by the real control.
#include "scanner/VSTWAINLib_OCX.h"

#include "scanner/ScanDriver.h"

class TVintaSoftTwain::Private {
 public:
  std::unique_ptr<ScanDriver> driver;
};

TVintaSoftTwain::TVintaSoftTwain(std::unique_ptr<ScanDriver> driver, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>()) {
  d->driver = std::move(driver);
}
TVintaSoftTwain::~TVintaSoftTwain() = default;
ScanDriver* TVintaSoftTwain::driver() const { return d->driver.get(); }
long TVintaSoftTwain::StartDevice() { return 0; }
QString TVintaSoftTwain::GetSourceProductName(int) { return {}; }
long TVintaSoftTwain::OpenDataSource() { return 0; }
long TVintaSoftTwain::Acquire() { return 0; }
long TVintaSoftTwain::SetImageLayout(float, float, float, float) { return 0; }
long TVintaSoftTwain::SaveImage(int, const QString&) { return 0; }
long TVintaSoftTwain::IsBlankImage(int, float, float& c) { c = 0; return 0; }
long TVintaSoftTwain::GetImageWidth(int) { return 0; }
long TVintaSoftTwain::GetImageHeight(int) { return 0; }
long TVintaSoftTwain::StopDevice() { return 0; }
void TVintaSoftTwain::setDisableAfterAcquire(int) {}
void TVintaSoftTwain::setShowUI(int) {}
void TVintaSoftTwain::setShowIndicators(int) {}
void TVintaSoftTwain::setTransferMode(int) {}
int TVintaSoftTwain::sourceCount() const { return 0; }
int TVintaSoftTwain::sourceIndex() const { return -1; }
void TVintaSoftTwain::setSourceIndex(int) {}
void TVintaSoftTwain::setUnitOfMeasure(int) {}
void TVintaSoftTwain::setPixelType(int) {}
int TVintaSoftTwain::resolution() const { return 0; }
void TVintaSoftTwain::setResolution(int) {}
void TVintaSoftTwain::setPageSize(int) {}
int TVintaSoftTwain::feederPresent() const { return 0; }
void TVintaSoftTwain::setFeederEnabled(int) {}
void TVintaSoftTwain::setDuplexEnabled(int) {}
int TVintaSoftTwain::feederLoaded() const { return 0; }
void TVintaSoftTwain::setXferCount(int) {}
void TVintaSoftTwain::setAutoFeed(int) {}
int TVintaSoftTwain::imageCount() const { return 0; }
int TVintaSoftTwain::errorCode() const { return 0; }
QString TVintaSoftTwain::errorString() const { return {}; }
int TVintaSoftTwain::xferPending() const { return 0; }
