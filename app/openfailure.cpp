// SPDX-License-Identifier: GPL-3.0-or-later
#include "openfailure.h"

#include <QAbstractButton>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QVector>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString devicePath(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return name;
    return QStringLiteral("/dev/") + name;
}

#ifdef Q_OS_UNIX
bool processHasGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    QVector<gid_t> groups(count);
    const int got = getgroups(count, groups.data());
    return got > 0 && groups.mid(0, got).contains(gid);
}

// What the group database grants the user: what a fresh login would get.
bool userListsGroup(const passwd *pw, gid_t gid)
{
    if (!pw)
        return false;
    int count = 64;
    QVector<gid_t> groups(count);
    if (getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
        groups.resize(count);
        if (getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    return groups.mid(0, count).contains(gid);
}
#endif

} // namespace

OpenFailure describeOpenFailure(const QSerialPort &port)
{
    OpenFailure f;
    f.error = port.error();
    f.reason = port.errorString();
    f.path = devicePath(port.portName());
    // The lock another program holds is reported as a permission error too; only the
    // system's own refusal is cured by a group.
    f.denied = f.error == QSerialPort::PermissionError && f.reason == qt_error_string(EACCES);
#ifdef Q_OS_UNIX
    const passwd *pw = getpwuid(geteuid());
    if (pw)
        f.user = QString::fromLocal8Bit(pw->pw_name);
    struct stat st = {};
    if (!f.path.isEmpty() && ::stat(QFile::encodeName(f.path).constData(), &st) == 0) {
        if (const group *gr = getgrgid(st.st_gid))
            f.group = QString::fromLocal8Bit(gr->gr_name);
        f.inGroup = processHasGroup(st.st_gid);
        f.inGroupAtLogin = userListsGroup(pw, st.st_gid);
        if (f.error == QSerialPort::PermissionError &&
            ::access(QFile::encodeName(f.path).constData(), R_OK | W_OK) != 0)
            f.denied = true;
    }
#endif
    return f;
}

QString openFailureDetails(const OpenFailure &f)
{
    QString todo;
    if (f.path.isEmpty()) {
        todo = QStringLiteral("No port is chosen. Plug the transmitter in, switch it on, then "
                              "pick its port from the list or type its device path (for "
                              "example /dev/ttyUSB0).");
    } else if (f.error == QSerialPort::DeviceNotFoundError) {
        todo = QStringLiteral("Nothing is connected as %1. Check that the transmitter is "
                              "plugged in and switched on, and pick its port again: the list "
                              "is read at start and after each CLOSE. A USB serial cable "
                              "usually shows as /dev/ttyUSB0 or /dev/ttyACM0.")
                   .arg(f.path);
    } else if (f.denied) {
        const QString group = f.group.isEmpty() ? QStringLiteral("dialout") : f.group;
        if (f.inGroup) {
            todo = QStringLiteral("%1 belongs to the group \"%2\", which you are in, yet the "
                                  "system refused it. Check its permissions with: ls -l %1")
                       .arg(f.path, group);
        } else if (f.inGroupAtLogin) {
            todo = QStringLiteral("%1 belongs to the group \"%2\". You were added to that "
                                  "group, but it takes effect only from your next login: log "
                                  "out and in again (or restart).")
                       .arg(f.path, group);
        } else {
            const QString user = f.user.isEmpty() ? QStringLiteral("$USER") : f.user;
            todo = QStringLiteral("Your user may not use %1: it belongs to the group \"%2\". "
                                  "Add yourself to that group, then log out and in again:\n"
                                  "    sudo usermod -aG %2 %3")
                       .arg(f.path, group, user);
        }
    } else if (f.error == QSerialPort::PermissionError) {
        todo = QStringLiteral("Another program is using %1. Close it (a terminal program, "
                              "another configuration tool, a second copy of this one) and "
                              "try again.")
                   .arg(f.path);
    } else if (f.error == QSerialPort::UnsupportedOperationError) {
        todo = QStringLiteral("%1 is not a serial port. Pick the transmitter's port instead.")
                   .arg(f.path);
    } else {
        todo = QStringLiteral("Check the cable, unplug and plug the transmitter in again, and "
                              "make sure no other program uses %1.")
                   .arg(f.path);
    }
    const QString reason = f.reason.isEmpty() ? QStringLiteral("Unknown error") : f.reason;
    return reason + QStringLiteral("\n\n") + todo;
}

void showOpenFailure(const OpenFailure &failure)
{
    // The same box the other notes use (an about box: no parent, the program's icon, OK),
    // with room for the reason.
    QMessageBox box(QMessageBox::Information, QStringLiteral("Note"),
                    QStringLiteral("Cannot open the serial port!"), QMessageBox::Ok);
    const QIcon icon = box.windowIcon();
    if (!icon.isNull())
        box.setIconPixmap(icon.pixmap(icon.actualSize(QSize(64, 64))));
    box.setDetailedText(openFailureDetails(failure));
    // The reason is the point of the box: show it without a further click.
    const auto buttons = box.buttons();
    for (QAbstractButton *button : buttons) {
        if (box.buttonRole(button) == QMessageBox::ActionRole)
            button->click();
    }
    box.exec();
}
