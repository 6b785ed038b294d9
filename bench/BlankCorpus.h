#pragma once

// A corpus of feeder pages for the blank-page measure: sheets that carry a
// little content (a line of text, a signature, a pencil note...) and empty
// sheets with what scanners and paper add (tint, noise, shadows, holes...).
// Pages are painted with DejaVu fonts and shapes; the same seed always paints
// the same page.

#include <QImage>
#include <QString>

#include <vector>

namespace bench {

enum class SheetKind {
  // content
  TextLine,
  Letter,
  Signature,
  PencilNote,
  Stamp,
  FadedPrint,
  PageNumber,
  Initials,
  // empty sheets
  Empty,
  RecycledFlecks,
  FeederShadow,
  DarkBorder,
  PunchHoles,
  Staple,
  DustSpecks,
  ShowThrough,
};

enum class PaperKind { White, Cream, RecycledGrey, Blue };

struct CorpusSheet {
  SheetKind kind;
  PaperKind paper;
  unsigned seed;
  // With a mix of what scanners and paper add (shadow, specks, holes, a
  // staple, show-through) on top of its kind.
  bool busy = false;
};

bool hasContent(SheetKind kind);
QString sheetName(const CorpusSheet& sheet);

// Every kind on several papers, and once more as a busy sheet: at least 40.
std::vector<CorpusSheet> blankCorpus();

// The sheet as a colour scanner delivers it (RGB888) at `dotsPerInch`, A4.
QImage paintSheet(const CorpusSheet& sheet, int dotsPerInch = 300);

}  // namespace bench
