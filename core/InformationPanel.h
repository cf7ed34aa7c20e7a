#pragma once

class QLabel;
class QWidget;

// The maker's information panel that the working windows carry in place of a web page;
// its link opens in the default browser.
QLabel* makeInformationPanel(QWidget* parent);
