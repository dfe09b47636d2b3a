// The main window's graph handlers: each hands over to the graph panel.

#include "app/Unit1.h"

#include "graphics/graphdata.h"
#include "graphics/graphpanel.h"
#include "platform/widgets/dialogs.h"

#include <QVBoxLayout>

void TForm1::buildGraphPanel()
{
    Panel1 = new graphics::GraphPanel(GraphHost);
    if (GraphHost) {
        auto *lay = qobject_cast<QVBoxLayout *>(GraphHost->layout());
        if (!lay) {
            lay = new QVBoxLayout(GraphHost);
            lay->setContentsMargins(0, 0, 0, 0);
        }
        lay->addWidget(Panel1);
    }
}

void TForm1::drawgraphic(db::Dataset * /*patient: passed by every caller, never used*/,
                         db::Dataset *graph)
{
    if (!Panel1)
        return;
    std::optional<graphics::GraphRow> row;
    if (graph) {
        row = graphics::currentGraphRow(*graph);
        if (!graph->isOpen()) {
            dlg::error(graph->lastError(), this);
            return;
        }
    }
    Panel1->drawgraphic(row ? &*row : nullptr);
}

void TForm1::N1X1Click() { Panel1->N1X1Click(); }
void TForm1::N2X1Click() { Panel1->N2X1Click(); }
void TForm1::N3X1Click() { Panel1->N3X1Click(); }
