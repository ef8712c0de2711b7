// What the performance commands (steady, transient) share: the values asked
// for with --measure, the sweep arguments, the graph built or read, the
// listing and the CSV file.
#pragma once

#include <QString>
#include <QStringList>

#include "cli/cli_command.h"

class IQRVProgress;
class TCalcEngine;
class TQRVDesigner;
struct TReachSettings;
struct TSweepArgument;
struct TSweepOutcome;

// "1.234 s".
QString CliSeconds(qint64 ms);

// Adds the values of every SPEC (tokens:P, rate:T, prob:FORMULA, …; P* and T*
// expand) with the engine's own kind texts. exitOk, or exitUsage with the
// reason in `usage`, or exitBadInput after naming a place or transition the
// graph or net does not have.
int AddCliMeasures(TCalcEngine& engine, const QStringList& specs, TCliContext& ctx, QString& usage);

// How a sweep's numbers are read: the steady state refuses 0, the
// transient analysis takes any number.
enum TSweepNumbers { snNotZero, snAnyNumber };

// ARG=INITIAL:FINAL:STEPS (STEPS may be left out for an "M(" argument).
bool ParseCliSweep(const QString& text, const TCalcEngine& engine, TSweepNumbers numbers, TSweepArgument& arg,
                   QString& error);

// The checks both commands make once their options are taken: the first
// problem with the command line, or an empty text.
QString CheckCliCommandLine(const TArgs& args, const QString& optionError, bool removeUnsteady,
                            bool keepUnsteady);

// --limit N: 1 … 2147483647 markings. False with the reason.
bool ParseCliLimit(const QString& text, TReachSettings& builder, QString& error);

// Unsteady markings are removed when asked, or when the net has immediate
// transitions and --keep-unsteady was not given (with the priority rule).
void ChooseUnsteadyRemoval(const TQRVDesigner& net, bool remove, bool keep, TReachSettings& builder);

// Reads the graph file, or builds the graph in memory with `builder`, and
// hands it to the engine; says on stderr what it did and how long it took.
// exitOk or exitBadInput (after the message).
int LoadCliGraph(TCalcEngine& engine, TQRVDesigner& net, const QString& graphFile,
                 const TReachSettings& builder, IQRVProgress& progress, TCliContext& ctx, qint64& ms);

// The size of the graph on stderr, with a warning when it still holds
// unsteady markings.
void ReportCliGraph(const TCalcEngine& engine, TCliContext& ctx);

// A sweep that was stopped or failed is told on stderr and gives
// exitBadInput; a completed one exitOk.
int ReportCliSweepEnd(const TSweepOutcome& outcome, TCliContext& ctx);

// The listing on standard output, or into `file` (lines ended by CR LF).
// exitOk or exitBadInput (after the message).
int WriteCliListing(const QStringList& lines, const QString& file, TCliContext& ctx);
// The bytes into `file` when it is named. exitOk or exitBadInput.
int WriteCliFile(const QString& file, const QByteArray& bytes, TCliContext& ctx);
