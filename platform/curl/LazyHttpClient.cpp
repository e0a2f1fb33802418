#include "LazyHttpClient.h"

#include "platform/Module.h"

LazyHttpClient::LazyHttpClient() = default;

LazyHttpClient::~LazyHttpClient() = default;

HttpClient* LazyHttpClient::client()
{
    std::call_once(m_loaded, [this] {
        const auto factory = reinterpret_cast<Factory>(ModuleEntry(QStringLiteral("http"), Entry, &m_error));
        if (factory)
            m_client.reset(factory());
        if (factory && !m_client)
            m_error = QStringLiteral("the HTTP module could not start");
    });
    return m_client.get();
}

HttpReply LazyHttpClient::perform(const HttpRequest& request, std::stop_token stop)
{
    if (HttpClient* loaded = client())
        return loaded->perform(request, std::move(stop));
    HttpReply failed;
    failed.error = m_error;
    return failed;
}
