#include "plugin/dialogs/CExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include <cstdlib>

namespace v3d {

namespace {
QComboBox* combo(QWidget* parent, int id, const QStringList& items, const char* initial) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::number(id));
    box->addItems(items);
    box->setCurrentText(QString::fromUtf8(initial));
    return box;
}

// Decimal conversion of the leading digits, as the texts are read ("384x384" -> 384).
int leadingNumber(const QComboBox* box) { return std::atoi(box->currentText().toUtf8().constData()); }
}  // namespace

CExportDialog::CExportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kDialogId));
    setWindowTitle("Export Option");
    m_resolution = combo(this, kResolutionId, {"256x256", "384x384", "512x512"}, "384x384");
    m_replaceOriginal = new QCheckBox("Replace original", this);
    m_replaceOriginal->setObjectName(QString::number(kReplaceOriginalId));
    m_replaceOriginal->setEnabled(false);
    m_rotationSeries = new QCheckBox("Rotation series", this);
    m_rotationSeries->setObjectName(QString::number(kRotationSeriesId));
    m_direction = combo(this, kDirectionId, {"Up", "Down", "Left", "Right"}, "Right");
    m_totalRotation = combo(this, kTotalRotationId, {"90", "180", "360"}, "180");
    m_step = combo(this, kStepId, {"3", "5", "6", "9", "10", "15"}, "9");

    auto* form = new QFormLayout;
    form->addRow("Resolution", m_resolution);
    form->addRow(QString(), m_replaceOriginal);
    form->addRow(QString(), m_rotationSeries);
    form->addRow("Direction", m_direction);
    form->addRow("Total rotation (degrees)", m_totalRotation);
    form->addRow("Step (degree steps)", m_step);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_rotationSeries, &QCheckBox::toggled, this, [this](bool on) { enableRotation(on); });
    enableRotation(false);
}

void CExportDialog::enableRotation(bool on) {
    m_direction->setEnabled(on);
    m_totalRotation->setEnabled(on);
    m_step->setEnabled(on);
}

ExportOptions CExportDialog::options() const {
    ExportOptions o;
    o.width = o.height = leadingNumber(m_resolution);
    const QString direction = m_direction->currentText();
    o.axis = (direction == "Up" || direction == "Down") ? 2 : 1;
    o.sign = (direction == "Left" || direction == "Down") ? -1 : 1;
    o.rotation = m_rotationSeries->isChecked() ? leadingNumber(m_totalRotation) : 0;
    o.step = leadingNumber(m_step);
    if (o.step == 0) o.step = 1;
    return o;
}

}  // namespace v3d
