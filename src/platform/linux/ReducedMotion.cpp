// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/ReducedMotion.h"

#include "platform/DesktopPreferences.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <optional>

#include <dlfcn.h>

namespace platform {
namespace {

// GSettings through GIO loaded at run time: no build dependency on GLib's headers,
// and nothing lost where GIO is not installed.
class GioSettings {
public:
    static GioSettings& instance()
    {
        static GioSettings gio;
        return gio;
    }

    // nullopt when GIO or the schema is missing: opening a missing schema aborts the
    // process, so its presence is checked first.
    std::optional<bool> boolean(const char* schemaId, const char* key) const
    {
        if (!m_loaded)
            return std::nullopt;
        void* source = m_defaultSource();
        if (!source)
            return std::nullopt;
        void* schema = m_lookup(source, schemaId, 1);
        if (!schema)
            return std::nullopt;
        const bool hasKey = m_hasKey(schema, key) != 0;
        m_schemaUnref(schema);
        if (!hasKey)
            return std::nullopt;
        void* settings = m_new(schemaId);
        if (!settings)
            return std::nullopt;
        const bool value = m_getBoolean(settings, key) != 0;
        m_objectUnref(settings);
        return value;
    }

private:
    GioSettings()
    {
        m_library = dlopen("libgio-2.0.so.0", RTLD_LAZY | RTLD_LOCAL);
        if (!m_library)
            return;
        m_defaultSource = symbol<void* (*)()>("g_settings_schema_source_get_default");
        m_lookup = symbol<void* (*)(void*, const char*, int)>("g_settings_schema_source_lookup");
        m_hasKey = symbol<int (*)(void*, const char*)>("g_settings_schema_has_key");
        m_schemaUnref = symbol<void (*)(void*)>("g_settings_schema_unref");
        m_new = symbol<void* (*)(const char*)>("g_settings_new");
        m_getBoolean = symbol<int (*)(void*, const char*)>("g_settings_get_boolean");
        m_objectUnref = symbol<void (*)(void*)>("g_object_unref");
        m_loaded = m_defaultSource && m_lookup && m_hasKey && m_schemaUnref && m_new &&
                   m_getBoolean && m_objectUnref;
    }

    template <typename F> F symbol(const char* name) const
    {
        return reinterpret_cast<F>(dlsym(m_library, name));
    }

    void* m_library = nullptr;
    bool m_loaded = false;
    void* (*m_defaultSource)() = nullptr;
    void* (*m_lookup)(void*, const char*, int) = nullptr;
    int (*m_hasKey)(void*, const char*) = nullptr;
    void (*m_schemaUnref)(void*) = nullptr;
    void* (*m_new)(const char*) = nullptr;
    int (*m_getBoolean)(void*, const char*) = nullptr;
    void (*m_objectUnref)(void*) = nullptr;
};

} // namespace

std::optional<bool> gnomeAnimationsEnabled()
{
    return GioSettings::instance().boolean("org.gnome.desktop.interface", "enable-animations");
}

QString kdeglobalsPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return dir.isEmpty() ? QString() : QDir(dir).filePath(QStringLiteral("kdeglobals"));
}

bool kdeAnimationsOff(const QString& path)
{
    if (path.isEmpty() || !QFile::exists(path))
        return false;
    const QSettings kdeglobals(path, QSettings::IniFormat);
    bool ok = false;
    const double factor =
        kdeglobals.value(QStringLiteral("KDE/AnimationDurationFactor")).toDouble(&ok);
    return ok && factor == 0.0;
}

bool desktopPrefersReducedMotion()
{
    // In a sandbox the schema is missing and only the desktop portal can tell.
    std::optional<bool> animations = gnomeAnimationsEnabled();
    if (!animations)
        animations = desktopPreferences().animationsEnabled();
    return animations == false || kdeAnimationsOff(kdeglobalsPath());
}

} // namespace platform
