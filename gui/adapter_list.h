// adapter_list.h - AdapterList, the dialog in which the operator picks one entry of a list.
//
// The list shows the labels of a settings row (list codes ROW_K, ROW_L, ROW_M) or the names
// of the multipaired slaves (LIST_MULTIPAIR); any other code gives an empty list.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;

inline constexpr int LIST_MULTIPAIR = 12;

class AdapterList : public QDialog {
  Q_OBJECT

 public:
  explicit AdapterList(QWidget* parent = nullptr);

  int m_index = 0;     // position of the chosen entry; -1 none
  int m_listCode = 0;  // what the list shows
  QString m_prompt;    // the prompt of static 1044

  // The dialog's opening: selection from m_index, the prompt, a freshly filled list.
  void InitDialog();

  void accept() override;

 private:
  void FillList();

  QComboBox* list_;
  QLabel* prompt_;
};

// Shows AdapterList until the operator closes it with OK and an entry chosen (the chosen
// position) or closes it any other way (-1). OK with no entry chosen shows it again.
int RunAdapterList(int listCode, const QString& prompt);
