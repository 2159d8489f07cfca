#include "app/capture/browser/host_message.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace browserhost {

namespace {

// Reads an optional text field; false when it is there but not a text.
bool OptionalText(const QJsonObject& o, const char* name, std::string* out) {
  const QJsonValue v = o.value(QLatin1String(name));
  if (v.isUndefined() || v.isNull()) return true;
  if (!v.isString()) return false;
  *out = v.toString().toStdString();
  return true;
}

}  // namespace

bool ParseHostMessage(std::string_view json, HostMessage* m, std::string* reason) {
  *m = HostMessage();
  QJsonParseError error;
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError) {
    *reason = "malformed JSON";
    return false;
  }
  if (!doc.isObject()) {
    *reason = "not a JSON object";
    return false;
  }
  const QJsonObject o = doc.object();
  const QJsonValue type = o.value(QLatin1String("type"));
  if (!type.isString()) {
    *reason = "no message type";
    return false;
  }
  m->type = type.toString().toStdString();
  if (m->type == "hello") {
    m->kind = HostMessage::Kind::Hello;
    return true;
  }
  if (m->type != "capture") return true;  // a later extension's message: not ours to refuse

  m->kind = HostMessage::Kind::Capture;
  const QJsonValue url = o.value(QLatin1String("url"));
  if (!url.isString() || url.toString().isEmpty()) {
    *reason = "a capture without an address";
    return false;
  }
  m->url = url.toString().toStdString();
  const struct {
    const char* name;
    std::string HostMessage::*field;
  } optional[] = {
      {"method", &HostMessage::method},       {"referer", &HostMessage::referer},
      {"userAgent", &HostMessage::userAgent}, {"cookie", &HostMessage::cookie},
      {"contentType", &HostMessage::contentType},
  };
  for (const auto& f : optional) {
    if (!OptionalText(o, f.name, &(m->*f.field))) {
      *reason = std::string("\"") + f.name + "\" is not a text";
      return false;
    }
  }
  return true;
}

}  // namespace browserhost
