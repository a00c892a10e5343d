#pragma once

#include "chart/DialGeometry.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QWidget>
#include <future>
#include <utility>
#include <vector>

struct DisplayState;
struct LimitState;

// The moving-needle dial KD1. It fills the dial panel (its parent) less the panel's 2-pixel
// border, and takes its geometry from the panel's size. KDsetup draws the face from the run's
// scale, scale code and limits; KDrun draws the needle. Both draw into an image, without
// antialiasing; on commit() the pixels that came out different from the picture shown are
// copied into that picture and repainted, so a steady reading repaints nothing.
class AnalogDial : public QWidget
{
    Q_OBJECT
public:
    AnalogDial(const DisplayState &display, const LimitState &limits, QWidget *parent);
    ~AnalogDial() override;

    // Draws the face for this scale and the present limits on a thread of its own, so that a
    // KDsetup to come finds it drawn.
    void prepareFace(const QString &scaleCode, const DialScale &scale);
    void KDsetup(int mode);
    void KDrun(int position);
    // Repaints what the calls since the last commit changed on the dial. The display sequence
    // commits at the end of every frame; calls that nobody commits are shown once the event
    // loop runs again.
    void commit();

    const QImage &image() const { return m_image; }
    NeedleLine previousNeedle() const { return m_previousNeedle; }
    const QFont &labelFont() const { return m_font; }
    // Where a label's text lies from the corner it is drawn at, in the label font.
    DialTextExtent labelExtent() const;
    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    struct FaceKey
    {
        QSize panel;
        QString scaleCode;
        DialScale scale;
        BandLimits limits;

        friend bool operator==(const FaceKey &, const FaceKey &) = default;
    };
    struct CachedFace
    {
        FaceKey key;
        QImage image;
        qint64 id = 0;
    };

    QSize panelSize() const;
    void fitToPanel();
    static QFont makeLabelFont();
    static DialTextExtent labelExtent(const QFont &font);
    static QImage drawFace(QSize size, const QFont &font, const QList<QPoint> &bandDot,
                           const FaceKey &key);
    void addFace(FaceKey key, QImage face);
    // Puts a face prepareFace drew among the cached ones, waiting for it if need be.
    void takePreparedFace();
    // Per row of the image, the columns some drawing may have changed.
    class RowSpans
    {
    public:
        void reset(int rows);
        void add(int y, int first, int last);
        void clear();
        bool isEmpty() const { return m_bottom < m_top; }
        template<class F> void forEach(F f) const
        {
            for (int y = m_top; y <= m_bottom; ++y) {
                const auto [first, last] = m_rows[std::size_t(y)];
                if (first <= last)
                    f(y, first, last);
            }
        }

    private:
        std::vector<std::pair<int, int>> m_rows;
        int m_top = 0;
        int m_bottom = -1;
    };

    // Notes pixels of m_image that may have changed; commit() looks at them.
    void touched(int y, int first, int last);
    // The pixels a needle line covers, as runs (y, first x, last x) in the image.
    struct LineRun
    {
        int y;
        int first;
        int last;
    };
    struct LinePixels
    {
        NeedleLine line;
        QList<LineRun> runs;
    };
    const QList<LineRun> &linePixels(const NeedleLine &line);
    void stamp(const NeedleLine &line, QRgb colour);

    const DisplayState &m_display;
    const LimitState &m_limits;
    QFont m_font;
    // The pixels a band dot covers, relative to the top-left of its box. Every dot has the
    // same shape, so stamping it gives the pixels that drawing it would, thousands of times
    // faster than stroking each one.
    QList<QPoint> m_bandDot;
    QImage m_image;
    QSize m_panel;
    DialArc m_arc;
    NeedleLine m_previousNeedle;
    // Faces drawn lately, most recent first. A reading redraws the face every time, and
    // drawing the band dot by dot costs far more than a frame may take.
    QList<CachedFace> m_faces;
    FaceKey m_preparedKey;
    std::future<QImage> m_preparedFace;
    // The face m_image was last copied from, and where needles were drawn on it since.
    qint64 m_imageFace = -1;
    qint64 m_nextFaceId = 0;
    RowSpans m_needleArea;
    // What the widget shows (or has been asked to), and the part of m_image that may differ.
    QImage m_shown;
    RowSpans m_touched;
    bool m_checkPosted = false;
    // Needle lines drawn lately, most recent first: a reading draws four lines, mostly ones
    // drawn just before, and stroking a round-capped line costs far more than filling its runs.
    QList<LinePixels> m_lines;
    QImage m_lineScratch;
};
