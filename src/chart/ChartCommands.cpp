#include "chart/ChartCommands.h"

#include "chart/ChartControl.h"
#include "chart/ChartView.h"
#include "support/ConversionError.h"
#include "support/ErrorReport.h"
#include "support/Prompts.h"
#include "support/SafeFileWriter.h"
#include "support/StrictInt.h"
#include "support/WindowLook.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

ChartCommands::ChartCommands(const Controls &controls, Prompts &prompts, ErrorReport &errors,
                             ChartControl &chart)
    : m_controls(controls)
    , m_prompts(prompts)
    , m_errors(errors)
    , m_chart(chart)
{
}

void ChartCommands::showPage(int page)
{
    m_controls.Bt10->setText(QString::number(page));
}

void ChartCommands::BtFirstClick()
{
    showPage(m_chart.FirstPage());
}

void ChartCommands::BTPreviousClick()
{
    showPage(m_chart.PreviousPage());
}

void ChartCommands::BtNextClick()
{
    showPage(m_chart.NextPage());
}

void ChartCommands::BTlastClick()
{
    showPage(m_chart.LastPage());
}

void ChartCommands::btFillClick()
{
    m_chart.SetFill(m_controls.BtFill->isChecked());
}

void ChartCommands::FillClick()
{
    const bool fill = !m_controls.BtFill->isChecked();
    m_controls.Fill1->setChecked(fill);
    m_controls.BtFill->setChecked(fill);
    btFillClick();
}

void ChartCommands::MaxrecordExit()
{
    // Every change restarts the one-second delay; a text that is no number does not.
    const QString text = m_controls.Maxrecord->text();
    if (!strictToInt(text)) {
        m_errors.report(ConversionError {text}.message());
        return;
    }
    m_controls.Timer2->stop();
    m_controls.Timer2->start();
}

void ChartCommands::Timer2Timer()
{
    m_controls.Timer2->stop();
    const QString text = m_controls.Maxrecord->text();
    const std::optional<qint32> size = strictToInt(text);
    if (!size) {
        m_errors.report(ConversionError {text}.message());
        return;
    }
    if (*size < 1) {
        // The edit shows the page size in force again, not the number refused.
        const QString inForce = QString::number(m_chart.PageSize());
        m_controls.Maxrecord->setText(inForce);
        m_controls.Timer2->stop(); // the text change above restarted it
        m_errors.report(u"A chart page holds at least 1 point; the page size stays "_qs + inForce
                        + u'.');
        return;
    }
    m_chart.SetPageSize(*size);
    showPage(m_chart.CurrentPage());
}

QRect ChartCommands::enlargedPlace()
{
    // The classic frame adds 4-pixel borders, a 23-pixel caption and a 19-pixel menu bar.
    const int outerWidth = WindowLook::ClientWidth + 8;
    const int outerHeight = WindowLook::ClientHeight + 8 + 23 + 19;
    return QRect(2, 28, outerWidth - 12, outerHeight - 85);
}

void ChartCommands::TbFdClick()
{
    QWidget *chart = m_controls.Chtshow;
    if (chart->y() > 50) {
        m_controls.Panel1->hide();
        m_controls.TbFd->hide();
        m_controls.TbSx->show();
        m_normalPlace = chart->geometry();
        chart->setGeometry(enlargedPlace());
        m_controls.GroupBox1->hide();
        // In front of the dial, the bar graph and the table, which stay where they are.
        chart->raise();
    } else {
        m_controls.Panel1->show();
        m_controls.TbSx->hide();
        m_controls.TbFd->show();
        chart->setGeometry(m_normalPlace);
        m_controls.GroupBox1->show();
    }
}

void ChartCommands::BtSaveClick()
{
    FileDialogOptions options;
    options.filter = u"Bitmaps (*.bmp)|*.bmp"_qs;
    options.defaultExtension = u"bmp"_qs;
    options.confirmOverwrite = true;
    const QString fileName = m_prompts.savePicture(m_controls.dialogParent, options);
    if (fileName.isEmpty())
        return;

    // The chart alone: the toolbar laid over its top strip, a child, stays out of the picture.
    QImage picture(m_controls.Chtshow->size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        m_controls.Chtshow->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    }
    // Encoded first, then saved like every other output: an earlier picture survives a failed
    // save, and a pipe or device gets the picture itself.
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, "bmp");
    if (!writer.write(picture)) {
        m_errors.report(u"The chart could not be saved to "_qs + fileName + u": "_qs
                        + writer.errorString());
        return;
    }
    SafeFileWriter file(fileName);
    if (!file.open() || !file.write(encoded.data()) || !file.commit()) {
        m_errors.report(u"The chart could not be saved to "_qs + fileName + u": "_qs
                        + file.reason());
        return;
    }
    m_prompts.information(m_controls.dialogParent, u"Graphic has saved on "_qs + fileName);
}

bool ChartCommands::ChtshowMouseWheel(QWheelEvent *event)
{
    event->accept();
    return true;
}

bool ChartCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return ChtshowMouseWheel(static_cast<QWheelEvent *>(event));
    return QObject::eventFilter(watched, event);
}
