#pragma once

#include "PacsFrame.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace quarvia {

// File > PACS...: a server and its protocol, the query fields, the studies
// found with their series and image counts, and Retrieve for the chosen
// series (they arrive in the study browser while the dialog stays open).
class PacsBrowser : public QDialog {
    Q_OBJECT
public:
    PacsBrowser(PacsFrame& frame, QWidget* parent);

    void search();
    void retrieveSelected();

private:
    bool chosenServer(PacsServer& server, PacsProtocol& protocol) const;
    void fillProtocols();

    PacsFrame& m_frame;
    QComboBox* m_server;
    QComboBox* m_protocol;
    QLineEdit* m_name;
    QLineEdit* m_id;
    QLineEdit* m_date;
    QLineEdit* m_modality;
    QLineEdit* m_accession;
    QTreeWidget* m_results;
    QLabel* m_status;
    QPushButton* m_search;
    std::vector<FoundStudy> m_found;
};

}  // namespace quarvia
