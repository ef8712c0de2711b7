// The program's manual, shown by topic number.
#pragma once

#include <QDialog>

class QTextBrowser;

class THelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Shows the page of a help context number (100: the program).
    void ShowTopic(int context);
    // The resource path of a topic's page.
    static QString TopicPage(int context);
    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
