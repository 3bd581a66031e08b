#pragma once

// A paint device that draws nothing and records where each text goes: the
// rectangle of every text item, in device coordinates, as a painter lays
// it out (rotation included).
#include <QPaintDevice>
#include <QPaintEngine>
#include <QTextItem>

#include <vector>

class TextRecorder final : public QPaintDevice
{
public:
    struct Text
    {
        QRectF rect;
        QString text;
    };

    explicit TextRecorder(const QSize &size) : size(size) {}

    QPaintEngine *paintEngine() const override { return &engine; }
    const std::vector<Text> &texts() const { return engine.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return size.width();
        case PdmHeight:
            return size.height();
        case PdmWidthMM:
            return size.width() * 254 / 960;
        case PdmHeightMM:
            return size.height() * 254 / 960;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 1 << 24;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine final : public QPaintEngine
    {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &state) override
        {
            if (state.state() & DirtyTransform)
                transform = state.transform();
        }
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawRects(const QRectF *, int) override {}
        void drawLines(const QLineF *, int) override {}
        void drawEllipse(const QRectF &) override {}
        void drawTextItem(const QPointF &p, const QTextItem &item) override
        {
            const QRectF rect(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
            texts.push_back({transform.mapRect(rect), item.text()});
        }
        Type type() const override { return User; }

        QTransform transform;
        std::vector<Text> texts;
    };

    QSize size;
    mutable Engine engine;
};
