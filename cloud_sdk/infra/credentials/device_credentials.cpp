#include "infra/credentials/device_credentials.h"

#include "infra/credentials/hmac_sign.h"
#include "tessera_conn.h"

namespace tessera {

std::string DeviceId(const DeviceIdentity& identity) { return identity.product_key + "." + identity.device_name; }

std::optional<std::string> MakeClientId(const DeviceIdentity& identity) {
    std::string partner = identity.partner_id.empty() ? "" : ",pid=" + identity.partner_id;
    std::string module = identity.module_id.empty() ? "" : ",mid=" + identity.module_id;
    std::string client_id = DeviceId(identity) + "|securemode=2,_v=sdk-c-2.3.0,timestamp=" + kSignTimestamp +
                            ",signmethod=hmacsha1,lan=C,gw=0,ext=0" + partner + module + "|";
    if (client_id.size() > ZENQ_CLIENT_ID_MAXLEN) return std::nullopt;
    return client_id;
}

std::string MakeUsername(const DeviceIdentity& identity) {
    return identity.device_name + "&" + identity.product_key;
}

std::optional<std::string> MakePassword(const DeviceIdentity& identity) {
    std::string text = "clientId" + DeviceId(identity) + "deviceName" + identity.device_name + "productKey" +
                       identity.product_key + "timestamp" + kSignTimestamp;
    return HmacHex(SignDigest::kSha1, identity.device_secret, text);
}

}  // namespace tessera
