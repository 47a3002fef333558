#include "status_window.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// The text as the window shows it: CR LF becomes a line break, lone CR and LF vanish.
QString Displayed(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('\r')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
        shown += QLatin1Char('\n');
        ++i;
      }
      continue;
    }
    if (c == QLatin1Char('\n')) continue;
    shown += c;
  }
  return shown;
}

}  // namespace

StatusWindow::StatusWindow(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setMaximumBlockCount(kStatusLineCap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

void StatusWindow::AppendStatus(const QString& text, bool raw) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (raw) {
    if (text.isEmpty()) return;
    if (text.endsWith(QLatin1Char('\r'))) {
      cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    }
    cursor.insertText(Displayed(text));
  } else {
    cursor.insertText(Displayed(text + QStringLiteral("\r\n")));
  }
  ScrollToEnd();
}

void StatusWindow::ScrollToEnd() {
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  setTextCursor(end);
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
