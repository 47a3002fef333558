#include "dialog_fixture.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <algorithm>

#include "multipair_store.h"

DialogFixture::DialogFixture(std::initializer_list<tarnwick::SimAdapterConfig> adapters)
    : core(adapters, /*openPort=*/false) {
  ResetMultiPairList();
  dialog = std::make_unique<CTarnwickDlg>();
  dialog->show();
}

DialogFixture::~DialogFixture() {
  dialog.reset();
  ResetMultiPairList();
}

void DialogFixture::Click(int id) const {
  QPushButton* button = Button(id);
  ASSERT_NE(button, nullptr) << id;
  button->click();
}

QList<int> DialogFixture::SelectedRadios() const {
  QList<int> selected;
  for (int id : AllRadioIds()) {
    if (Radio(id)->isChecked()) selected << id;
  }
  return selected;
}

QString DialogFixture::Status() const { return Control<QPlainTextEdit>(IDC_STATUS)->toPlainText(); }

void DialogFixture::ChooseCom(int com) const {
  Control<QComboBox>(IDC_COM_PORT)->setCurrentIndex(com - 1);
}

QList<int> AllRadioIds() {
  QList<int> ids;
  for (const RadioGroup& group : kRadioGroups) {
    for (int id = group.firstId; id <= group.lastId; ++id) ids << id;
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}
