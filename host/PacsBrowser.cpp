#include "PacsBrowser.h"

#include "CornerTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

namespace quarvia {

PacsBrowser::PacsBrowser(PacsFrame& frame, QWidget* parent) : QDialog(parent), m_frame(frame) {
    setWindowTitle("PACS");
    setObjectName("pacsBrowser");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_server = new QComboBox(this);
    m_server->setObjectName("server");
    for (const PacsServer& s : frame.servers()) m_server->addItem(s.name);
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName("protocol");
    connect(m_server, &QComboBox::currentIndexChanged, this, &PacsBrowser::fillProtocols);
    fillProtocols();
    auto field = [this, form](const char* name, const QString& label, const QString& hint) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setPlaceholderText(hint);
        form->addRow(label, edit);
        return edit;
    };
    form->addRow("Server:", m_server);
    form->addRow("Protocol:", m_protocol);
    m_name = field("patientName", "Patient name:", "Smith* (wildcards * and ?)");
    m_id = field("patientId", "Patient ID:", "");
    m_date = field("studyDate", "Study date:", "YYYYMMDD or YYYYMMDD-YYYYMMDD");
    m_modality = field("modality", "Modality:", "CT, MR ...");
    m_accession = field("accession", "Accession number:", "");
    layout->addLayout(form);
    m_results = new QTreeWidget(this);
    m_results->setObjectName("results");
    m_results->setHeaderLabels({"Patient / Series", "ID", "Date", "Description", "Modality", "Images"});
    m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_results->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_results, 1);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(this);
    m_search = buttons->addButton("&Search", QDialogButtonBox::ActionRole);
    QPushButton* retrieve = buttons->addButton("&Retrieve", QDialogButtonBox::ActionRole);
    QPushButton* cancel = buttons->addButton("&Cancel Retrievals", QDialogButtonBox::ActionRole);
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_frame.cancelRetrievals();
        m_status->setText("Cancelling: what arrived stays in the study browser.");
    });
    buttons->addButton(QDialogButtonBox::Close);
    connect(m_search, &QPushButton::clicked, this, &PacsBrowser::search);
    connect(retrieve, &QPushButton::clicked, this, &PacsBrowser::retrieveSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 520);
    if (m_server->count() == 0)
        m_status->setText("No PACS is configured: add Server1=name=...|web=...|ae=...|host=...|port=... to the "
                          "section PACS of the profile.");
}

void PacsBrowser::fillProtocols() {
    m_protocol->clear();
    PacsServer s;
    if (!m_frame.serverNamed(m_server->currentText(), s)) return;
    if (s.hasDimse()) m_protocol->addItem("DIMSE", int(PacsProtocol::Dimse));
    if (s.hasWeb()) m_protocol->addItem("DICOMweb", int(PacsProtocol::Web));
}

bool PacsBrowser::chosenServer(PacsServer& server, PacsProtocol& protocol) const {
    if (!m_frame.serverNamed(m_server->currentText(), server) || m_protocol->currentIndex() < 0) return false;
    protocol = PacsProtocol(m_protocol->currentData().toInt());
    return true;
}

void PacsBrowser::search() {
    PacsServer server;
    PacsProtocol protocol;
    if (!chosenServer(server, protocol)) return;
    m_search->setEnabled(false);
    m_status->setText("Searching " + server.name + "...");
    const PacsQuery query{m_name->text().trimmed(), m_id->text().trimmed(), m_date->text().trimmed(),
                          m_modality->text().trimmed(), m_accession->text().trimmed()};
    QPointer<PacsBrowser> self(this);
    m_frame.query(server, protocol, query, [self, server](const PacsResult& r, const std::vector<FoundStudy>& found) {
        if (!self) return;
        self->m_search->setEnabled(true);
        self->m_found = found;
        self->m_results->clear();
        for (size_t s = 0; s < found.size(); ++s) {
            const StudyHit& st = found[s].study;
            auto* study = new QTreeWidgetItem(self->m_results, {st.patientName, st.patientId, readableDate(st.date),
                                                                st.description, st.modalities, QString::number(st.instances)});
            for (size_t i = 0; i < found[s].series.size(); ++i) {
                const SeriesHit& se = found[s].series[i];
                auto* series = new QTreeWidgetItem(study, {QString("Series %1").arg(se.number), QString(), QString(),
                                                           se.description, se.modality, QString::number(se.instances)});
                series->setData(0, Qt::UserRole, QPoint(int(s), int(i)));
            }
            study->setExpanded(true);
        }
        self->m_status->setText(r.ok() ? QString("%1 studies found on %2").arg(found.size()).arg(server.name)
                                       : pacsMessage(r, server.name));
    });
}

void PacsBrowser::retrieveSelected() {
    PacsServer server;
    PacsProtocol protocol;
    if (!chosenServer(server, protocol)) return;
    int started = 0;
    std::set<std::string> chosen;  // a study row and its own series row chosen together count once
    for (QTreeWidgetItem* item : m_results->selectedItems()) {
        // A study row retrieves all its series.
        std::vector<QTreeWidgetItem*> rows{item};
        if (!item->parent())
            for (int c = 0; c < item->childCount(); ++c) rows.push_back(item->child(c));
        for (QTreeWidgetItem* row : rows) {
            const QVariant at = row->data(0, Qt::UserRole);
            if (!at.isValid()) continue;
            const QPoint p = at.toPoint();
            if (size_t(p.x()) >= m_found.size() || size_t(p.y()) >= m_found[size_t(p.x())].series.size()) continue;
            const SeriesHit& series = m_found[size_t(p.x())].series[size_t(p.y())];
            if (!chosen.insert(series.seriesUid).second) continue;
            m_frame.retrieve(server, protocol, series);
            ++started;
        }
    }
    m_status->setText(started ? QString("Retrieving %1 series from %2: they appear in the study browser as they arrive.")
                                    .arg(started).arg(server.name)
                              : "Choose a study or a series to retrieve.");
}

}  // namespace quarvia
