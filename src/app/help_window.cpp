#include "app/help_window.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Quorvane Help"));
    setObjectName(QStringLiteral("HelpWindow"));
    resize(720, 640);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({QStringLiteral(":/manual")});
    layout->addWidget(m_browser);
}

QString THelpWindow::TopicPage(int context)
{
    const QString page = QStringLiteral(":/manual/topic-%1.html").arg(context);
    if (QFile::exists(page))
        return page;
    return QStringLiteral(":/manual/topic-100.html");
}

void THelpWindow::ShowTopic(int context)
{
    m_browser->setSource(QUrl(QStringLiteral("qrc") + TopicPage(context)));
    show();
    raise();
    activateWindow();
}
