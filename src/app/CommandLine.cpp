#include "app/CommandLine.h"

#include "support/PortNames.h"

#include <QCommandLineParser>

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"MeterLink shows and records the readings of a handheld automotive multimeter."_qs);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption com(
        u"com"_qs,
        u"Use PATH as serial port N (1 to 4), for example --com 1=/dev/ttyUSB0. "
        "May be given once per port; overrides METERLINK_COMn."_qs,
        u"N=PATH"_qs);
    const QCommandLineOption model(
        u"model"_qs,
        u"Model switches to turn on, in a comma-separated list: IFFerrant, Gostel, Brimlow, "
        "IFSennick, or none. Default: Brimlow."_qs,
        u"switches"_qs);
    parser.addOption(com);
    parser.addOption(model);

    const auto fail = [&](const QString &text) {
        result.exitNow = true;
        result.exitCode = 2;
        result.message = text + u"\n\n"_qs + parser.helpText();
        return result;
    };

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.exitNow = true;
        result.message = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exitNow = true;
        result.message = u"MeterLink 2.0\n"_qs;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(u"Unexpected argument: "_qs + parser.positionalArguments().first());

    QString error;
    PortNames check;
    for (const QString &value : parser.values(com)) {
        if (!check.addOverrideOption(value, &error))
            return fail(error);
        result.comOverrides << value;
    }
    if (parser.isSet(model)) {
        const std::optional<ModelSwitches> chosen
            = ModelSwitches::parse(parser.value(model), &error);
        if (!chosen)
            return fail(error);
        result.switches = *chosen;
    }
    return result;
}
