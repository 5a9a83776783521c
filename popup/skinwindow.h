#pragma once

#include <QImage>
#include <QWidget>

// A top-level window with a background picture, drawn unscaled at its top-left
// corner over the window's background colour.
class SkinWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SkinWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};
