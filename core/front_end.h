// front_end.h - what each program supplies to the core: the trace sink and PumpMessages.
//
// The core writes all its text through TraceOut (trace.h), which hands it to the installed
// front end as a line or as raw text. The core calls PumpMessages() inside its polling waits;
// the dialog program dispatches its window events there, the console program does nothing.
// The operator prompts are a separate interface (operator_prompts.h).
#pragma once

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // A line (raw false: the sink adds the line end) or raw text (raw true: written unchanged).
  virtual void Output(const char* text, bool raw) = 0;
  // Called by the core between the polls of its waits.
  virtual void PumpMessages() {}
  // Called by the status query for every row it has read: the value index into the row's
  // values (valueCount for none) for an enumerated row, 0 for a text row whose text is in
  // LinkState.reply. Only the dialog program shows it.
  virtual void ShowSetting(int valueIndex, int row) { (void)valueIndex; (void)row; }
};

// Hands a value the status query read to the front end.
void ShowSetting(int valueIndex, int row);

// Installs the front end (nullptr: output is discarded); returns the previous one.
FrontEnd* SetFrontEnd(FrontEnd* frontEnd);
FrontEnd* CurrentFrontEnd();

// The hook the core calls inside its polling waits.
void PumpMessages();
