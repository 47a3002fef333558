// dialog_fixture.h - the main dialog on a simulated adapter, for the dialog tests.
//
// The core fixture (virtual clock, clean core records, simulated adapters served as COM1,
// port left closed for the dialog to open), an empty MultiPairList, a ModalAnswerer, and the
// main dialog shown on the offscreen platform, installed as the core's front end.
//
//   DialogFixture f({.baud = 9600});
//   f.answers.Press(QMessageBox::Ok);
//   f.Click(IDC_GET_INFO);
//   EXPECT_EQ(f.answers.Texts(), QStringList{"Device query successful"});
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <ostream>

#include "core_fixture.h"
#include "modal_answerer.h"
#include "tarnwick_dlg.h"

// Failure messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

class DialogFixture {
 public:
  explicit DialogFixture(std::initializer_list<tarnwick::SimAdapterConfig> adapters = {
                             tarnwick::SimAdapterConfig{}});
  ~DialogFixture();
  DialogFixture(const DialogFixture&) = delete;
  DialogFixture& operator=(const DialogFixture&) = delete;

  template <class T>
  T* Control(int id) const {
    return dialog->findChild<T*>(QString::number(id));
  }
  QRadioButton* Radio(int id) const { return Control<QRadioButton>(id); }
  QLineEdit* Edit(int id) const { return Control<QLineEdit>(id); }
  QPushButton* Button(int id) const { return Control<QPushButton>(id); }

  // Clicks a push button (an operation runs to its end inside the click).
  void Click(int id) const;
  // The identifiers of the selected radio buttons, in identifier order.
  QList<int> SelectedRadios() const;
  // The status window's text, lines separated by "\n".
  QString Status() const;
  // Chooses the COM Port item COMcom.
  void ChooseCom(int com) const;

  tarnwick::test::CoreFixture core;
  ModalAnswerer answers;
  std::unique_ptr<CTarnwickDlg> dialog;
};

// Every radio button identifier of the dialog.
QList<int> AllRadioIds();
