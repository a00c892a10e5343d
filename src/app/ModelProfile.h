#pragma once

#include "chart/DialScale.h"

#include <QString>
#include <QStringList>
#include <optional>

// The four model switches, evaluated in this order; every switch that is on applies its row,
// so a later one overrides an earlier one. Builds ship with Brimlow alone.
struct ModelSwitches
{
    bool IFFerrant = false;
    bool Gostel = false;
    bool Brimlow = true;
    bool IFSennick = false;

    static QStringList names(); // in evaluation order
    // Parses a comma-separated list of switch names (any letter case), or "none".
    static std::optional<ModelSwitches> parse(const QString &list, QString *error);
};

enum class ReceiveHandler { None, FerrantDATA, GostelData, NestrelData };

// What the switches choose for the run.
struct ModelProfile
{
    ReceiveHandler receiveHandler = ReceiveHandler::None;
    QString caption; // before the processor suffix
    QString scaleCode = u"4"_qs;
    int portNumber = 4; // the window's own setting until a switch selects another
    bool selectsCom1 = false; // shows the "COM 1" panel as well
};

// Settings keyed by the scale code after the switches have been read.
struct ProfileRow
{
    DialScale dialScale;
    QString setMaxText;
    QString setMinText;
    QString minText;
    QString maxText;
    int barMaximum = 0; // 0: the bar keeps its own maximum
};

ModelProfile selectProfile(const ModelSwitches &switches);
std::optional<ProfileRow> profileRow(const QString &scaleCode);

// "(x64)" for a 32-bit program on a 64-bit x86 (or IA-64) system, "(x86)" for anything else.
QString processorSuffix(bool is32BitProcess, const QString &systemArchitecture);
QString processorSuffix(); // for this process and system

QString composeCaption(const ModelProfile &profile, const QString &suffix);
