#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <string>

inline std::string str(const QString &s)
{
    return s.toStdString();
}

// A shown, active top-level window laying out the controls it is given, as a screen does.
struct ShownScreen
{
    ShownScreen() : window(std::make_unique<QWidget>()), layout(new QVBoxLayout(window.get())) {}
    template <typename T>
    T *add(T *control)
    {
        control->setParent(window.get());
        layout->addWidget(control);
        return control;
    }
    bool activate()
    {
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowActive(window.get());
    }
    std::unique_ptr<QWidget> window;
    QVBoxLayout *layout;
};
