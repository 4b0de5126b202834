#include "plugin/dialogs/CV3DSetupDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace v3d {

namespace {

// Template rectangles are in dialog units; these scale them to pixels.
constexpr int kUnitX = 3, kUnitXDiv = 2;   // 1.5 pixels per unit across
constexpr int kUnitY = 13, kUnitYDiv = 8;  // 1.625 pixels per unit down
constexpr int kDialogWidth = 220, kDialogHeight = 196;
// Edits show floats with six significant digits.
constexpr int kFloatDigits = 6;

const char* const kIntegerMessage = "Please enter an integer.";
const char* const kNumberMessage = "Please enter a number.";

// Dialog units follow the dialog's font, as they were meant to: a quarter of
// its average character width across, an eighth of its height down; never
// smaller than the template's own scale, so a wider font only grows it.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font)
    {
        const QFontMetricsF metrics(font);
        m_x = std::max(double(kUnitX) / kUnitXDiv, metrics.averageCharWidth() / 4.0);
        m_y = std::max(double(kUnitY) / kUnitYDiv, metrics.height() / 8.0);
    }
    QRect operator()(int x, int y, int w, int h) const
    {
        return QRect(int(x * m_x), int(y * m_y), int(std::ceil(w * m_x)), int(std::ceil(h * m_y)));
    }

private:
    double m_x, m_y;
};

std::string trimmed(const QString& text)
{
    return text.trimmed().toStdString();
}

}  // namespace

bool parseSetupInt(const QString& text, int& value)
{
    const std::string s = trimmed(text);
    const char* begin = s.c_str();
    const char* end = begin + s.size();
    if (begin != end && *begin == '+') ++begin;
    int parsed = 0;
    const auto result = std::from_chars(begin, end, parsed);
    if (s.empty() || result.ec != std::errc() || result.ptr != end)
        return false;
    value = parsed;
    return true;
}

bool parseSetupFloat(const QString& text, float& value)
{
    const std::string s = trimmed(text);
    const char* begin = s.c_str();
    const char* end = begin + s.size();
    if (begin != end && *begin == '+') ++begin;
    float parsed = 0.0f;
    const auto result = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (s.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

CV3DSetupDialog::CV3DSetupDialog(const SetupSettings& settings, SetupTarget& target, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_target(target)
{
    setObjectName(QString::number(kDialogId));
    setWindowTitle("Vexel 3D Setup");
    const DialogUnits units(font());
    setFixedSize(units(0, 0, kDialogWidth, kDialogHeight).size());

    auto group = [this, &units](const char* title, int x, int y, int w, int h) {
        auto* box = new QGroupBox(title, this);
        box->setGeometry(units(x, y, w, h));
        box->lower();
    };
    auto label = [this, &units](const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(text, this);
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(units(x, y, w, h));
    };

    group("SSD", 3, 3, 214, 39);
    addCheck(SETUP_SHADOWS_PERSP, "Depth-shadowing in perspective projection ", m_settings.shadowsPersp)
        ->setGeometry(units(8, 12, 206, 8));
    addCheck(SETUP_SHADOWS_PAR, "Depth-shadowing in parallel projection", m_settings.shadowsPar)
        ->setGeometry(units(8, 21, 182, 8));
    addCheck(SETUP_OPQ_ON_SSD, "Project greyscale cross-sections to cutplanes", m_settings.opqOnSsd)
        ->setGeometry(units(8, 30, 182, 8));

    group("Mouse", 3, 43, 214, 31);
    addCheck(SETUP_INVERT_MOUSE, "Invert Y axis", m_settings.invertMouse < 0)->setGeometry(units(8, 53, 56, 8));
    label("Speed X:", 78, 53, 36, 8);
    m_speedX = addEdit(SETUP_SPEED_X, QString::number(double(m_settings.mouseSpeedX), 'g', kFloatDigits));
    m_speedX->setGeometry(units(115, 50, 32, 12));
    label("%", 148, 53, 8, 8);
    label("Y:", 162, 53, 8, 8);
    m_speedY = addEdit(SETUP_SPEED_Y, QString::number(double(m_settings.mouseSpeedY), 'g', kFloatDigits));
    m_speedY->setGeometry(units(171, 50, 32, 12));
    label("%", 204, 53, 8, 8);
    addCheck(SETUP_NO_TUMBLE, "Constrain rotation DOF (\"No tumbling mode\")", m_settings.noTumble)
        ->setGeometry(units(8, 63, 171, 8));

    group("Segmentation", 3, 75, 214, 44);
    m_segLow = addEdit(SETUP_SEG_LOW, QString::number(m_settings.segLow));
    m_segLow->setGeometry(units(8, 84, 42, 12));
    m_segHigh = addEdit(SETUP_SEG_HIGH, QString::number(m_settings.segHigh));
    m_segHigh->setGeometry(units(67, 84, 42, 12));
    m_segRad = addEdit(SETUP_SEG_RAD, QString::number(m_settings.segRad));
    m_segRad->setGeometry(units(124, 84, 42, 12));
    label("    FloodLow               FloodHigh           FloodRadius", 5, 97, 164, 8);
    addCheck(SETUP_FLOOD_BOUND, "Flood-fill constrained by cutplanes", m_settings.floodBound)
        ->setGeometry(units(8, 107, 182, 8));

    group("Misc", 3, 120, 214, 23);
    addCheck(SETUP_WIREFRAME, "Highlight edges", m_settings.wireframe)->setGeometry(units(8, 130, 126, 8));

    group("Presets", 3, 144, 214, 23);
    auto* clear = new QPushButton("Clear All", this);
    clear->setObjectName(QString::number(SETUP_CLEAR_PRESETS));
    clear->setAutoDefault(false);
    clear->setGeometry(units(8, 153, 99, 10));
    connect(clear, &QPushButton::clicked, this, [this] { clearAllPresets(); });
    // The text is the system's own, spelling included.
    auto* factory = new QPushButton("Add Facory Preset(s)", this);
    factory->setObjectName(QString::number(SETUP_FACTORY_PRESETS));
    factory->setAutoDefault(false);
    factory->setGeometry(units(113, 153, 99, 10));
    connect(factory, &QPushButton::clicked, this, [this] { m_target.addFactoryPresets(); });

    auto* done = new QPushButton("Done", this);
    done->setObjectName(QString::number(SETUP_DONE));
    done->setDefault(true);
    done->setGeometry(units(3, 179, 214, 14));
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    widenToFitTexts();
}

void CV3DSetupDialog::widenToFitTexts()
{
    // The template was laid out for a narrower font: every column widens by
    // the factor its most crowded text needs, so that nothing is cut off
    // and nothing comes to overlap.
    double factor = 1.0;
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if ((qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) && w->width() > 0)
            factor = std::max(factor, double(w->sizeHint().width()) / w->width());
    if (factor <= 1.0) return;
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect g = w->geometry();
        w->setGeometry(int(g.x() * factor), g.y(), int(std::ceil(g.width() * factor)), g.height());
    }
    setFixedSize(int(std::ceil(width() * factor)), height());
}

QCheckBox* CV3DSetupDialog::addCheck(SetupControl id, const char* text, bool checked)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::number(id));
    box->setChecked(checked);
    connect(box, &QCheckBox::toggled, this, [this, id](bool on) { toggled(id, on); });
    return box;
}

QLineEdit* CV3DSetupDialog::addEdit(SetupControl id, const QString& text)
{
    auto* edit = new QLineEdit(text, this);
    edit->setObjectName(QString::number(id));
    return edit;
}

void CV3DSetupDialog::toggled(SetupControl id, bool on)
{
    switch (id) {
    case SETUP_SHADOWS_PERSP: m_settings.shadowsPersp = on; break;
    case SETUP_SHADOWS_PAR: m_settings.shadowsPar = on; break;
    case SETUP_OPQ_ON_SSD: m_settings.opqOnSsd = on; break;
    // Each press negates the value, so pressing twice restores its sign.
    case SETUP_INVERT_MOUSE: m_settings.invertMouse = -m_settings.invertMouse; break;
    case SETUP_NO_TUMBLE: m_settings.noTumble = on; break;
    case SETUP_FLOOD_BOUND: m_settings.floodBound = on; break;
    case SETUP_WIREFRAME: m_settings.wireframe = on; break;
    default: return;
    }
    m_target.settingToggled(id, m_settings);
}

void CV3DSetupDialog::clearAllPresets()
{
    // As many deletions of the first preset as there were presets.
    for (int n = m_target.presetCount(); n > 0; --n)
        m_target.deletePreset(0);
}

void CV3DSetupDialog::accept()
{
    SetupSettings read = m_settings;
    struct FloatEdit {
        QLineEdit* edit;
        float* value;
    };
    struct IntEdit {
        QLineEdit* edit;
        int* value;
    };
    for (const FloatEdit& e : {FloatEdit{m_speedX, &read.mouseSpeedX}, FloatEdit{m_speedY, &read.mouseSpeedY}})
        if (!parseSetupFloat(e.edit->text(), *e.value)) {
            showInvalidNumber(kNumberMessage);
            e.edit->setFocus();
            e.edit->selectAll();
            return;
        }
    for (const IntEdit& e : {IntEdit{m_segLow, &read.segLow}, IntEdit{m_segHigh, &read.segHigh},
                             IntEdit{m_segRad, &read.segRad}})
        if (!parseSetupInt(e.edit->text(), *e.value)) {
            showInvalidNumber(kIntegerMessage);
            e.edit->setFocus();
            e.edit->selectAll();
            return;
        }
    m_settings = read;
    m_target.saveSettings(m_settings);
    QDialog::accept();
}

void CV3DSetupDialog::showInvalidNumber(const QString& text)
{
    QMessageBox::warning(this, windowTitle(), text);
}

}  // namespace v3d
