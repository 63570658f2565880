#pragma once
#include "common/Messages.h"
#include "shell/AppState.h"
#include "shell/Startup.h"
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
    void TearDown() override {
        m_form.reset();
        m_state.reset();
    }

    QString file(const char* name) const { return m_program.file(QLatin1String(name)); }
    QString dataFolder() const { return m_env.dataFolder(); }
    QString dataFile(const char* name) const { return dataFolder() + QLatin1String(name); }

    // Starts the program as main() does: a new state and the start-up; false when the
    // start-up ended the start.
    bool startProgram() {
        m_form.reset();
        m_state.reset();
        m_state = std::make_unique<AppState>();
        m_started = Startup::run(*m_state, Messages::instance());
        m_windowShown = false;
        return m_started;
    }
    AppState& state() { return *m_state; }

    // The main window on the started state; a second window is a new start.
    TMainForm& createForm(bool show = false) {
        if (!m_state || m_windowShown)
            startProgram();
        EXPECT_TRUE(m_started);
        m_windowShown = true;
        m_form = std::make_unique<TMainForm>(*m_state);
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
    std::unique_ptr<AppState> m_state;
    bool m_started = false;
    bool m_windowShown = false;
    std::unique_ptr<TMainForm> m_form;
};
