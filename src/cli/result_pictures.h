// --chart FILE and --surface FILE of the analysis commands: the big chart and
// the 3-D surface of the first listed value, written as the windows draw them.
#pragma once

#include <QString>

#include "cli/cli_command.h"

class TCalcEngine;

struct TResultPictures
{
    QString Chart;
    QString Surface;

    // Takes both options. False with the message in `error` for a missing
    // value or a name without a picture extension (.svg, .png, .bmp), so that
    // nothing is computed for a picture that cannot be written.
    bool Take(TArgs& args, QString& error);
    // Draws the pictures asked for from the engine's valid results. False
    // after a message on ctx.err (no listed value, a file that cannot be written).
    bool Write(const TCalcEngine& engine, const QString& arg1Text, const QString& arg2Text,
               TCliContext& ctx) const;
};
