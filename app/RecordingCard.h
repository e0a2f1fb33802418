#pragma once

#include <QWidget>

class QLabel;

// The main window's page while a recording runs: a red disc with "recording" and the elapsed time.
class RecordingCard final : public QWidget
{
    Q_OBJECT

public:
    explicit RecordingCard(QWidget* parent);

    void setTime(const QString& time);
    QString time() const;

private:
    QLabel* m_time = nullptr;
};
