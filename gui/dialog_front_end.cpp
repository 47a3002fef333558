#include "dialog_front_end.h"

#include <QCoreApplication>

#include "link_state.h"
#include "narrow_text.h"
#include "tarnwick_dlg.h"

namespace {
CTarnwickDlg* MainDialog() { return static_cast<CTarnwickDlg*>(LinkState.mainDialog); }
}  // namespace

void DialogFrontEnd::Output(const char* text, bool raw) {
  if (CTarnwickDlg* dialog = MainDialog()) dialog->AppendStatus(FromNarrow(text), raw);
}

void DialogFrontEnd::PumpMessages() { QCoreApplication::processEvents(); }

void DialogFrontEnd::ShowSetting(int valueIndex, int row) {
  if (CTarnwickDlg* dialog = MainDialog()) dialog->ShowSetting(valueIndex, row);
}
