#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tarvik {

// First page: the logo, one button that asks for a first folder, the copyright line.
class LauncherWidget : public QWidget
{
    Q_OBJECT

public:
    explicit LauncherWidget(QWidget* parent = nullptr);

signals:
    void getStartedEvent();

private slots:
    void onPressGetStartedButton();

private:
    QVBoxLayout* mLayout;
    QLabel* mLogoLabel;
    QLabel* mWebLinkLabel;
    QPushButton* mGetStartedButton;
};

} // namespace tarvik
