#pragma once

#include "preview/DragState.h"
#include "preview/FloatRect.h"

#include <QMainWindow>
#include <QString>

#include <memory>

struct MainSettingsControls;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class QWidget;
class ImagePane;
class PreviewPane;
class ScanDriver;
class StatusBar;
class TVintaSoftTwain;
class Tfrm_About;
class Tfrm_Preview;
class Tfrm_Settings;
namespace output {
class PagePrinter;
}

// Kinds of acquisition job. JobKind keeps the last job's value after it ends.
enum JobKindValue : int { jkNone = 0, jkPreview = 1, jkScan = 2, jkCopy = 3 };

// The main window: scan choices on the left, the preview pane in the middle,
// the pages of this run on the right, the status bar below. It holds the
// program's shared state in its fields and owns the scanner control.
class Tfrm_Main : public QMainWindow {
  Q_OBJECT

 public:
  explicit Tfrm_Main(std::unique_ptr<ScanDriver> driver, QWidget* parent = nullptr);
  ~Tfrm_Main() override;

  // The other windows, created by the program entry after this one.
  void setWindows(Tfrm_About* about, Tfrm_Settings* settings, Tfrm_Preview* preview);

  // Shared state.
  TVintaSoftTwain* VintaSoftTwain = nullptr;
  int JobKind = jkNone;
  int CurrentResolution = 0;
  bool UseFeeder = false;
  float PreviewScale = 0.0f;
  int DisplayUnits = 1;
  bool SkipBlankPages = false;
  int PrintableWidth = 0;
  int PrintableHeight = 0;
  // The current printer of copy jobs and of File > Print Setup.
  std::unique_ptr<output::PagePrinter> Printer;
  // Set by the cancel command; the progress handler answers the control with
  // it at the next event that allows an interruption.
  bool AbortPending = false;
  // The running job was told to stop: its "Operation aborted" stays shown
  // instead of "Ready" when it ends.
  bool JobAborted = false;

  QString StatusText() const;
  bool StatusIsError() const;

  // Controls, by the names the rest of the program uses.
  QWidget* pnl_Left = nullptr;
  QGroupBox* gb_Source = nullptr;
  QComboBox* cmb_Sources = nullptr;
  QCheckBox* cb_ADF = nullptr;
  QCheckBox* cb_Duplex = nullptr;
  QGroupBox* gb_Params = nullptr;
  QComboBox* cmb_Mode = nullptr;
  QComboBox* cmb_Resolution = nullptr;
  QComboBox* cmb_Size = nullptr;
  QGroupBox* gb_FileSettings = nullptr;
  QLineEdit* edt_FileName = nullptr;
  QComboBox* cmb_Format = nullptr;
  QLineEdit* edt_Destination = nullptr;
  QAction* edt_DestinationButton = nullptr;
  QWidget* Panel1 = nullptr;
  QToolBar* ToolBar_Main = nullptr;
  QToolButton* ToolButtonPreview = nullptr;
  QToolButton* ToolButtonScan = nullptr;
  QMenu* PopupMenu_ScanCopy = nullptr;
  QAction* Scan1 = nullptr;
  QAction* Copy1 = nullptr;
  QWidget* pnl_Preview = nullptr;
  PreviewPane* gb_Preview = nullptr;
  ImagePane* pnl_Right = nullptr;
  StatusBar* sb_Main = nullptr;

  // Menu actions.
  QAction* Action2 = nullptr;           // File > Preview
  QAction* BrowseForFolder1 = nullptr;  // File > Select destination folder...
  QAction* Action1 = nullptr;           // File > Scan
  QAction* Action3 = nullptr;           // File > Copy to printer
  QAction* FilePrintSetup1 = nullptr;   // File > Print Setup...
  QAction* ActionCancel = nullptr;      // File > Cancel scan
  QAction* FileExit1 = nullptr;         // File > Exit
  QAction* Action4 = nullptr;           // Settings > Preferences...
  QAction* Action5 = nullptr;           // Help > Brevalto homepage
  QAction* Action8 = nullptr;           // Help > About...
  QMenu* menuFile = nullptr;
  QMenu* menuSettings = nullptr;
  QMenu* menuHelp = nullptr;

  // The item the Scan drop-down button repeats: Scan1 or Copy1.
  QAction* scanButtonItem() const { return scanButtonItem_; }

  // Handlers.
  void FormShow();
  void FormClose();
  void Action4Execute();
  void Action5Execute();
  void Action8Execute();
  void cmb_SourcesChange();
  // The scanner list is about to drop down: it is made again in the
  // background, keeping the choice.
  void cmb_SourcesDropDown();
  void cb_ADFClick();
  void ToolButtonPreviewClick();
  void Scan1Click();
  void Copy1Click();
  void ToolButtonScanClick();
  void BrowseForFolder1Accept(const QString& folder);
  void edt_DestinationClick();
  void ActionCancelExecute();
  void VintaSoftTwainProgress(int action, int percentComplete, int canInterrupt, int* interrupt_);
  void VintaSoftTwainPostScan(int flag);

  void SetStatus(const QString& text, bool isError);

  void cmb_SizeSelect();
  void SelectionFrameResizing(const FloatRect& OldLocation, FloatRect& NewLocation, DragState dragState,
                              Qt::KeyboardModifiers Shift);
  QString MakeOutputFileName(const QString& stamp);
  void MakeThumbnail(const QString& path, int width, int height, const QString& caption);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildMenus();
  void buildLeftPanel();
  void buildMiddlePanel();
  void buildRightPanel();
  void linkScanButton(QAction* item);
  // The scanner list once the control has listed the sources; then the
  // stored choice and "Ready".
  void fillSourceList(long started);
  // The control's list into cmb_Sources, each entry with its device name as
  // item data, and the control's choice selected.
  void showSourceList();

  // Job starts and their shared steps.
  void StartScan();
  void StartCopy();
  bool destinationReady();
  void openChosenSource();
  void setFixedOptions();
  // Returns false when the feeder is to be used but holds no paper.
  bool setUpFeeder();
  void enableJobButtons();
  void disableJobButtons(bool scanFirst);
  void beginJob(int kind);
  bool acceptsJobError(int code) const;
  void postScanPreview(const QString& temp);
  void postScanPage(const QString& temp);

  // Hooks filled in by the subsystems that own them.
  void LoadSettings();
  void SaveSettings();
  void LoadPreviewImage(const QString& path);
  void DrawRulers(double scale);
  void PreparePrinter();
  void PrintPage(const QString& path, int width, int height);
  MainSettingsControls settingsControls();

  template <typename Handler>
  auto guard(Handler handler);

  Tfrm_About* frm_About = nullptr;
  Tfrm_Settings* frm_Settings = nullptr;
  Tfrm_Preview* frm_Preview = nullptr;
  QAction* scanButtonItem_ = nullptr;
  bool shown_ = false;
};
