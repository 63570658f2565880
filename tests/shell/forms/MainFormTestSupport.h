#pragma once
#include "shell/forms/TMainForm.h"
#include "support/FormTestSupport.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>
#include <memory>

// The main window in a program folder, home folder and settings store of its own.
class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override { m_form.reset(); }

    QString file(const char* name) const { return m_program.file(QLatin1String(name)); }
    QString dataFolder() const { return m_env.dataFolder(); }
    QString dataFile(const char* name) const { return dataFolder() + QLatin1String(name); }

    TMainForm& createForm(bool show = false) {
        m_form = std::make_unique<TMainForm>();
        if (show) {
            m_form->show();
            QApplication::processEvents();
        }
        return *m_form;
    }
    template <typename T> T* child(const char* name) const {
        return m_form->findChild<T*>(QLatin1String(name));
    }
    template <typename T> static T* child(const QObject* parent, const char* name) {
        return ::child<T>(parent, QLatin1String(name));
    }
    QString statusText() const { return child<QLabel>("StatusPanel")->text(); }

    // Declared before the window, so the environment outlives it.
    IsolatedEnvironment m_env;
    TempProgramFolder& m_program = m_env.program;
    std::unique_ptr<TMainForm> m_form;
};
