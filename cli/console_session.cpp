#include "console_session.h"

#include "link_state.h"
#include "status_codes.h"

ConsoleSession::ConsoleSession(int port)
    : signals_(port), prompts_(StandardInputKeys()), previousPrompts_(nullptr) {
  StandardInputKeys().Restart();
  StandardInputKeys().BeginKeyMode();
  previousPrompts_ = SetOperatorPrompts(&prompts_);
}

ConsoleSession::~ConsoleSession() {
  SetOperatorPrompts(previousPrompts_);
  StandardInputKeys().EndKeyMode();
}

int32_t ConsoleSession::Result(int32_t status) {
  if (status != LINK_OK && LinkState.abortRequested) return LINK_ABORTED;
  return status;
}
