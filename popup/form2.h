#pragma once

#include "picture.h"

#include <QWidget>

struct Services;

// The update popup: a small frameless window that announces a detected change.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    explicit Form2(Services& services, QWidget* parent = nullptr);

    // The popup's own window icon, which also serves as the tray's flash icon.
    const Picture& iconPicture() const { return m_icon; }

private:
    Services& m_services;
    Picture m_icon;
};
