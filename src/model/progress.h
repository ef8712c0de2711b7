// How long computations talk to whoever runs them: a window lets pending
// events run and offers a Stop button, the command line draws a progress bar
// and stops on Ctrl+C, tests record what was said.
#pragma once

#include <QString>

class IQRVProgress
{
public:
    virtual ~IQRVProgress() = default;
    // Percentage 0..100 of the current phase.
    virtual void Progress(int percent) = 0;
    // A short status text ("Phase 3 Removing unsteady markings.").
    virtual void Status(const QString& text) = 0;
    // A message the user must see (an information box in the window).
    virtual void Message(const QString& text) = 0;
    // Lets pending user-interface events run; called at fixed points.
    virtual void Pump() = 0;
    // Whether the user asked the computation to stop.
    virtual bool StopRequested() const = 0;
};

// A progress sink that says nothing and never stops.
class TSilentProgress : public IQRVProgress
{
public:
    void Progress(int) override {}
    void Status(const QString&) override {}
    void Message(const QString&) override {}
    void Pump() override {}
    bool StopRequested() const override { return false; }
};
