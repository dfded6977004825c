#include "support/FakeLoginManagerControl.h"

#include "support/FakeLoginManager.h"

#include <algorithm>

FakeLoginManagerControl::FakeLoginManagerControl(FakeLoginManager* manager)
    : QDBusAbstractAdaptor(manager), m_manager(manager)
{
}

bool FakeLoginManagerControl::SetBehaviour(const QString& behaviour, uint delayMs)
{
    if (behaviour == QLatin1String("answer"))
        m_manager->setBehaviour(FakeLoginManager::Behaviour::Answer, int(delayMs));
    else if (behaviour == QLatin1String("refuse"))
        m_manager->setBehaviour(FakeLoginManager::Behaviour::Refuse, int(delayMs));
    else
        return false;
    return true;
}

uint FakeLoginManagerControl::RequestCount() const
{
    return uint(m_manager->requests().size());
}

QStringList FakeLoginManagerControl::Request(uint index) const
{
    if (index >= RequestCount())
        return {};
    const FakeLoginManager::Request& request = m_manager->requests().at(index);
    return {request.what, request.who, request.why, request.mode};
}

bool FakeLoginManagerControl::IsGranted(uint index) const
{
    return index < RequestCount() && m_manager->requests().at(index).granted;
}

bool FakeLoginManagerControl::IsHeld(uint index) const
{
    return index < RequestCount() && m_manager->requests().at(index).held;
}

uint FakeLoginManagerControl::HeldCount() const
{
    const auto& requests = m_manager->requests();
    return uint(std::count_if(requests.begin(), requests.end(),
                              [](const FakeLoginManager::Request& r) { return r.held; }));
}
