// The seven operation buttons of the main dialog, Exit and Abort.
#include <QLineEdit>
#include <QPushButton>

#include "adapter_list.h"
#include "adapter_settings.h"
#include "link_establishment.h"
#include "link_state.h"
#include "message_box.h"
#include "multipair_store.h"
#include "multipairing.h"
#include "narrow_text.h"
#include "pairing.h"
#include "programming.h"
#include "remote_link.h"
#include "seralto.h"
#include "status_codes.h"
#include "status_query.h"
#include "tarnwick_dlg.h"

namespace {
constexpr int kQueueSize = 1024;
}  // namespace

void CTarnwickDlg::OnOperationButton(int id) {
  switch (id) {
    case IDC_GET_INFO:
      RunOperation({"Device query successful", "Error querying device", Closing::kLoadThenMessage,
                    [this] { return QueryDevice(m_port); }});
      return;
    case IDC_PROGRAM:
      RunOperation({"Device Programmed", "Error programming device",
                    Closing::kMessageThenClearChosen, [this] { return ProgramDevice(m_port); }});
      return;
    case IDC_PAIR:
      RunOperation({"Devices Paired", "Error programming device", Closing::kMessageThenClearChosen,
                    [this] { return PairAdapters(m_port); }});
      return;
    case IDC_MULTIPAIR:
      RunOperation({"Devices Multipaired", "Error programming device",
                    Closing::kMessageThenClearChosen,
                    [this] { return MultipairAdapters(m_port); }});
      return;
    case IDC_RESET:
      RunOperation({"Device reset", "Error resetting adapter", Closing::kLoadThenMessage,
                    [this] { return DeviceReset(m_port); }});
      return;
    case IDC_CONNECT:
      RunOperation({"Device Connected", "Error connecting device", Closing::kMessage,
                    [this] { return ConnectSequence(); }});
      return;
    case IDC_DISCONNECT:
      RunOperation({"Device disconnected", "Error disconnecting adapter", Closing::kLoadThenMessage,
                    [this] { return DisconnectSequence(); }});
      return;
    default: return;
  }
}

void CTarnwickDlg::RunOperation(const Operation& operation) {
  // The core pumps window events while it waits, so this handler can be entered again.
  if (m_busy) return;
  m_busy = 1;
  ExchangeData(true);  // a validation message does not stop the operation

  m_port = PortOpen(m_comIndex + 1, kQueueSize, kQueueSize);
  if (m_port < 0) {
    ShowMessage(QString::asprintf("Error #%d opening COM%d", -m_port, m_comIndex + 1));
    m_busy = 0;
    return;
  }
  exit_->setText(QStringLiteral("Abort"));

  const int32_t status = operation.call();

  switch (operation.closing) {
    case Closing::kLoadThenMessage:
      ExchangeData(false);
      PortClose(m_port);
      ShowResult(status, operation);
      break;
    case Closing::kMessageThenClearChosen:
      ShowResult(status, operation);
      PortClose(m_port);
      ClearAllSettingsChosen();
      break;
    case Closing::kMessage:
      PortClose(m_port);
      ShowResult(status, operation);
      break;
  }

  PortRelease(m_port);
  LinkState.abortRequested = 0;
  m_busy = 0;
  exit_->setText(QStringLiteral("Exit"));
}

void CTarnwickDlg::ShowResult(int32_t status, const Operation& operation) {
  const char* text = status == LINK_OK        ? operation.success
                     : status == LINK_ABORTED ? "Function Aborted"
                                              : operation.failure;
  ShowMessage(QString::fromLatin1(text));
}

void CTarnwickDlg::ApplyMultiPairEntry(int index) {
  if (index < 0 || index >= MultiPairList.count || index >= MULTIPAIR_MAX) return;
  const MultiPairEntry& entry = MultiPairList.entries[index];
  m_remoteAddress = FromNarrow(entry.address);
  ExchangeData(false);
  OnEditChanged(ROW_D, remoteAddressEdit_);
  ChooseSettingValue(ROW_L, entry.baud);
  ChooseSettingValue(ROW_M, entry.parity);
  ChooseSettingValue(ROW_K, entry.stopBits);
}

int32_t CTarnwickDlg::ConnectSequence() {
  const int32_t read = ReadMultiPairList();
  if (read != LINK_OK) return read;
  const int chosen = RunAdapterList(LIST_MULTIPAIR, QStringLiteral("Select Adapter:"));
  if (chosen < 0) return LINK_ABORTED;
  ApplyMultiPairEntry(chosen);
  return ConnectRemote(m_port);
}

int32_t CTarnwickDlg::DisconnectSequence() {
  // The list as the last Connect or Multipair of this run left it; the file is not read.
  const int chosen = RunAdapterList(LIST_MULTIPAIR, QStringLiteral("Select Adapter:"));
  if (chosen >= 0) ApplyMultiPairEntry(chosen);
  return DisconnectRemote(m_port);
}

void CTarnwickDlg::reject() {
  if (!m_busy) {
    QDialog::reject();
    return;
  }
  // Abort: end a running wait and let the core see the flag at its next test.
  PortCancel(m_port);
  LinkState.abortRequested = 1;
}
