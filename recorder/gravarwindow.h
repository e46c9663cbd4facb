#pragma once
// The recorder's provisional window: plain Qt controls over TFrmGravar. It shows what the core's
// view holds ("Gravar" and "Parar" in one place, the duration, days, format and disk texts), the
// "Fechar" button, and the configuration controls that saving reads, with their "Gravar" button.
// All behaviour is the core's; this class only mirrors and forwards. Main thread only.

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace zq {

class TFrmGravar;

// A text edit with up and down arrows, like an edit with its arrow buddy: the text is kept as
// typed, the arrows step within [min, max] and may be refused.
class UpDownEdit : public QWidget {
  Q_OBJECT
 public:
  UpDownEdit(int min, int max, QWidget* parent = nullptr);
  QLineEdit* Edit() const { return edit_; }
  std::function<bool()> MayStep;  // asked before every arrow step

 private:
  void Step(int delta);
  QLineEdit* edit_;
  int min_, max_;
};

class GravarWindow : public QWidget {
  Q_OBJECT
 public:
  // `cards`: the names of the capture devices, in device-number order.
  GravarWindow(TFrmGravar& core, const QStringList& cards, QWidget* parent = nullptr);

  // Mirrors the core's view into the status controls (at every change, many times a second).
  void Refresh();
  // Mirrors the configuration controls, only when the core loads them (start-up, applying,
  // saving), so a buffer arriving never overwrites what the operator is typing.
  void RefreshConfig();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ReadControls();
  void Build(const QStringList& cards);

  TFrmGravar& core_;
  bool quitting_ = false;
  QPushButton *gravar_, *parar_, *fechar_, *ocultar_, *salvar_;
  QLabel *formato_, *dias_, *tempo_, *livre_, *ocupado_;
  QProgressBar* espaco_;
  QComboBox *cbFormato_, *comboPlaca_, *cbControle_;
  QLineEdit *edLocal_, *edLocalCopia_;
  QToolButton* browse_;
  QCheckBox *cbGravar_, *cbCopia_, *cbPrioridade_;
  UpDownEdit *diasGravar_, *tempoGravar_;
};

}  // namespace zq
