#include "recorder/gravarwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "recorder/frmgravar.h"

namespace zq {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The format list: two blanks after the colon before a two-digit rate, one before three digits.
QStringList FormatList() {
  QStringList list;
  for (int kbps : {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320})
    list << QString("MP3: %1 kbps").arg(kbps, 3);
  return list;
}

void SetText(QLineEdit* e, const std::string& s) {
  if (e->text() != Q(s)) e->setText(Q(s));
}

}  // namespace

UpDownEdit::UpDownEdit(int min, int max, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), min_(min), max_(max) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(edit_);
  auto* up = new QToolButton(this);
  up->setArrowType(Qt::UpArrow);
  auto* down = new QToolButton(this);
  down->setArrowType(Qt::DownArrow);
  row->addWidget(up);
  row->addWidget(down);
  connect(up, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownEdit::Step(int delta) {
  if (MayStep && !MayStep()) return;
  bool ok = false;
  int v = edit_->text().toInt(&ok);
  if (!ok) v = min_;
  v = std::clamp(v + delta, min_, max_);
  edit_->setText(QString::number(v));
}

GravarWindow::GravarWindow(TFrmGravar& core, const QStringList& cards, QWidget* parent)
    : QWidget(parent), core_(core) {
  setWindowTitle(QStringLiteral("Zelto Quelvar 2009"));
  Build(cards);
  core_.OnViewChanged = [this] { Refresh(); };
  core_.OnConfigLoaded = [this] { RefreshConfig(); };
  core_.OnHide = [this] {
    // No notification area icon yet: the window goes to the task bar rather than out of reach.
    showMinimized();
  };
  Refresh();
  RefreshConfig();
}

void GravarWindow::Build(const QStringList& cards) {
  auto* top = new QVBoxLayout(this);

  auto* buttons = new QHBoxLayout;
  gravar_ = new QPushButton(QStringLiteral("Gravar"), this);
  parar_ = new QPushButton(QStringLiteral("Parar"), this);
  ocultar_ = new QPushButton(QStringLiteral("Ocultar"), this);
  fechar_ = new QPushButton(QStringLiteral("Fechar"), this);
  buttons->addWidget(gravar_);
  buttons->addWidget(parar_);  // "Gravar" and "Parar" share one place: one is always hidden
  buttons->addStretch();
  buttons->addWidget(ocultar_);
  buttons->addWidget(fechar_);
  top->addLayout(buttons);

  auto* status = new QGridLayout;
  formato_ = new QLabel(this);
  dias_ = new QLabel(this);
  tempo_ = new QLabel(this);
  livre_ = new QLabel(this);
  ocupado_ = new QLabel(this);
  espaco_ = new QProgressBar(this);
  espaco_->setRange(0, 100);
  espaco_->setFormat(QStringLiteral("ESPAÇO OCUPADO %p%"));
  status->addWidget(new QLabel(QStringLiteral("FORMATO:"), this), 0, 0);
  status->addWidget(formato_, 0, 1, 1, 4);
  status->addWidget(new QLabel(QStringLiteral("DURAÇÃO:"), this), 1, 0);
  status->addWidget(dias_, 1, 1);
  status->addWidget(new QLabel(QStringLiteral("Dias e"), this), 1, 2);
  status->addWidget(tempo_, 1, 3);
  status->addWidget(new QLabel(QStringLiteral("Horas"), this), 1, 4);
  status->addWidget(new QLabel(QStringLiteral("ESPAÇO LIVRE EM DISCO:"), this), 2, 0);
  status->addWidget(livre_, 2, 1, 1, 4);
  status->addWidget(new QLabel(QStringLiteral("ESPAÇO OCUPADO:"), this), 3, 0);
  status->addWidget(ocupado_, 3, 1, 1, 4);
  status->addWidget(espaco_, 4, 0, 1, 5);
  top->addLayout(status);

  auto* config = new QGroupBox(QStringLiteral("Configurações"), this);
  auto* form = new QFormLayout(config);
  cbFormato_ = new QComboBox(config);
  cbFormato_->addItems(FormatList());
  comboPlaca_ = new QComboBox(config);
  comboPlaca_->addItems(cards);
  auto* localRow = new QHBoxLayout;
  edLocal_ = new QLineEdit(config);
  browse_ = new QToolButton(config);
  browse_->setText(QStringLiteral("..."));
  localRow->addWidget(edLocal_);
  localRow->addWidget(browse_);
  cbControle_ = new QComboBox(config);
  cbControle_->addItems({QStringLiteral("Entrada de Linha"), QStringLiteral("Microfone")});
  cbGravar_ = new QCheckBox(QStringLiteral("Auto-Gravar"), config);
  cbCopia_ = new QCheckBox(QStringLiteral("Gravar cópia de segurança"), config);
  cbPrioridade_ = new QCheckBox(QStringLiteral("Definir como prioridade"), config);
  diasGravar_ = new UpDownEdit(0, 9999, config);
  tempoGravar_ = new UpDownEdit(10, 60, config);
  tempoGravar_->MayStep = [this] { return core_.SegmentArrowsAllowed(); };
  edLocalCopia_ = new QLineEdit(config);
  salvar_ = new QPushButton(QStringLiteral("Gravar"), config);
  form->addRow(QStringLiteral("Formato:"), cbFormato_);
  form->addRow(QStringLiteral("Placa:"), comboPlaca_);
  form->addRow(QStringLiteral("Local:"), localRow);
  form->addRow(QStringLiteral("Entrada:"), cbControle_);
  form->addRow(cbGravar_);
  form->addRow(QStringLiteral("Dias:"), diasGravar_);
  form->addRow(QStringLiteral("Minutos:"), tempoGravar_);
  form->addRow(cbCopia_);
  form->addRow(QStringLiteral("Local da cópia:"), edLocalCopia_);
  form->addRow(cbPrioridade_);
  form->addRow(salvar_);
  top->addWidget(config);

  connect(gravar_, &QPushButton::clicked, this, [this] { core_.BGravarClick(); });
  connect(parar_, &QPushButton::clicked, this, [this] { core_.BStopClick(); });
  connect(ocultar_, &QPushButton::clicked, this, [this] { core_.BOcultarClick(); });
  connect(fechar_, &QPushButton::clicked, this, [this] { core_.BSairClick(); });
  connect(salvar_, &QPushButton::clicked, this, [this] {
    ReadControls();
    core_.BGravaConfigClick();
  });
  connect(cbCopia_, &QCheckBox::toggled, edLocalCopia_, &QLineEdit::setEnabled);
  connect(browse_, &QToolButton::clicked, this, [this] {
    if (!core_.FolderBrowserAllowed()) return;
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), edLocal_->text());
    if (!folder.isEmpty()) edLocal_->setText(folder);
  });
}

void GravarWindow::ReadControls() {
  TGravarView& v = core_.EditView();
  v.cbFormato = cbFormato_->currentIndex();
  v.comboPlaca = comboPlaca_->currentIndex();
  v.edLocal = edLocal_->text().toStdString();
  v.cbControle = cbControle_->currentIndex();
  v.cbGravar = cbGravar_->isChecked();
  v.cbCopia = cbCopia_->isChecked();
  v.cbPrioridade = cbPrioridade_->isChecked();
  v.diasGravar = diasGravar_->Edit()->text().toStdString();
  v.tempoGravar = tempoGravar_->Edit()->text().toStdString();
  v.edLocalCopia = edLocalCopia_->text().toStdString();
}

void GravarWindow::Refresh() {
  const TGravarView& v = core_.View();
  gravar_->setVisible(v.bGravarVisible);
  parar_->setVisible(v.bStopVisible);
  formato_->setText(Q(v.lFormato).trimmed());
  dias_->setText(Q(v.lDias));
  tempo_->setText(Q(v.lTempo));
  livre_->setText(Q(v.lLivre));
  ocupado_->setText(Q(v.lOcupado));
  espaco_->setValue(v.progressEspaco);
}

void GravarWindow::RefreshConfig() {
  const TGravarView& v = core_.View();
  if (cbFormato_->currentIndex() != v.cbFormato) cbFormato_->setCurrentIndex(v.cbFormato);
  if (comboPlaca_->currentIndex() != v.comboPlaca) comboPlaca_->setCurrentIndex(v.comboPlaca);
  if (cbControle_->currentIndex() != v.cbControle) cbControle_->setCurrentIndex(v.cbControle);
  SetText(edLocal_, v.edLocal);
  SetText(edLocalCopia_, v.edLocalCopia);
  SetText(diasGravar_->Edit(), v.diasGravar);
  SetText(tempoGravar_->Edit(), v.tempoGravar);
  cbGravar_->setChecked(v.cbGravar);
  cbCopia_->setChecked(v.cbCopia);
  cbPrioridade_->setChecked(v.cbPrioridade);
  edLocalCopia_->setEnabled(v.edLocalCopiaEnabled);
}

void GravarWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  core_.FormShow();
}

void GravarWindow::closeEvent(QCloseEvent* event) {
  // The window's own close box: the recording is finished first, as on every way out.
  if (!quitting_) {
    quitting_ = true;
    core_.FormClose();
  }
  event->accept();
}

}  // namespace zq
