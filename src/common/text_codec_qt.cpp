#include "common/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace k8w {

bool CodecAvailable(const char* codecName) {
    return QStringEncoder(codecName).isValid() && QStringDecoder(codecName).isValid();
}

QByteArray EncodeWithCodec(const char* codecName, const QString& text) {
    QStringEncoder encoder(codecName, QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString DecodeWithCodec(const char* codecName, const char* bytes, std::size_t size) {
    QStringDecoder decoder(codecName, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, static_cast<qsizetype>(size)));
}

} // namespace k8w
