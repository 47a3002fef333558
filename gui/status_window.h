// status_window.h - the status window (1002): everything the core traces, as it happens.
//
// A line is appended with its line end. Raw text is inserted at the end unchanged, except
// that raw text ending in a carriage return replaces the last line, so the core's busy
// spinner (a character and a carriage return, again and again) turns in place. Only CR LF
// breaks a line; a lone carriage return or line feed is not shown. The window never clears;
// beyond kStatusLineCap lines the oldest go.
#pragma once

#include <QPlainTextEdit>

inline constexpr int kStatusLineCap = 10000;

class StatusWindow : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit StatusWindow(QWidget* parent = nullptr);

  void AppendStatus(const QString& text, bool raw);

 private:
  void ScrollToEnd();
};
