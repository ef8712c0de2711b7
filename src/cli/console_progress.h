// Progress of long computations on the command line: a bar on stderr when
// stderr is a terminal, and a stop request on Ctrl+C.
#pragma once

#include "model/progress.h"

class TConsoleProgress : public IQRVProgress
{
public:
    TConsoleProgress();
    ~TConsoleProgress() override;

    void Progress(int percent) override;
    void Status(const QString& text) override;
    void Message(const QString& text) override;
    void Pump() override {}
    bool StopRequested() const override;

private:
    void draw();
    bool m_tty;
    int m_percent = -1;
    QString m_status;
    bool m_drawn = false;
};
