#include "tools/admincommands.h"

#include "db/datalinkfile.h"
#include "toolkit/ansitext.h"
#include "toolkit/cipherkeys.h"
#include "toolkit/richtextblob.h"
#include "toolkit/textcipher.h"
#include "tools/democommand.h"
#include "widgets/picturevalidator.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <map>

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct Command
{
    QString synopsis;
    QString help;
    int minArguments;
    int maxArguments;
    std::function<int(const QStringList &, QTextStream &, QTextStream &)> run;
};

bool representableInAnsi(const QString &text)
{
    return vn::FromAnsi(vn::ToAnsi(text)) == text;
}

std::optional<QByteArray> readFile(const QString &path, QTextStream &err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "Kan inte läsa filen " << path << ": " << file.errorString() << "\n";
        return std::nullopt;
    }
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &data, QTextStream &err)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        err << "Kan inte skriva filen " << path << ": " << file.errorString() << "\n";
        return false;
    }
    return true;
}

int encryptLogin(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const QString &user = args[0];
    const QString &password = args[1];
    if (!representableInAnsi(user) || !representableInAnsi(password)) {
        err << "Användarnamn och lösenord får bara innehålla tecken ur Windows-1252.\n";
        return kFailed;
    }
    const TextCipher cipher(CredentialKey());
    out << "VNUSERNAME=" << cipher.EncryptString(vn::ToAnsi(user)) << "\n";
    out << "VNPASSWORD=" << cipher.EncryptString(vn::ToAnsi(password)) << "\n";
    return kDone;
}

int decrypt(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const TextCipher cipher(CredentialKey());
    QString error;
    const std::optional<QByteArray> plain = cipher.DecryptString(args[0].toLatin1(), &error);
    if (!plain) {
        err << "Texten kan inte dekrypteras: " << error
            << " (ogiltig Base64-text eller för kort för ett block).\n";
        return kFailed;
    }
    out << vn::FromAnsi(*plain) << "\n";
    return kDone;
}

int blobDecode(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const std::optional<QByteArray> blob = readFile(args[0], err);
    if (!blob)
        return kFailed;
    const RichTextLoad load = CopyRichEditFromBlob(*blob);
    if (load.source == RichTextLoad::Source::AsStored) {
        err << "Filen " << args[0]
            << " är varken RTF eller ett krypterat och komprimerat dokument; ingenting skrevs.\n";
        return kFailed;
    }
    if (!writeFile(args[1], load.text, err))
        return kFailed;
    if (load.source == RichTextLoad::Source::Plain)
        out << "Dokumentet var lagrat som RTF och skrevs oförändrat.\n";
    return kDone;
}

int blobEncode(const QStringList &args, QTextStream &, QTextStream &err)
{
    const std::optional<QByteArray> rtf = readFile(args[0], err);
    if (!rtf)
        return kFailed;
    if (!rtf->startsWith("{\\rtf")) {
        err << "Filen " << args[0] << " är inte ett RTF-dokument (ska börja med {\\rtf).\n";
        return kFailed;
    }
    return writeFile(args[1], CopyRichEdittoBlob(*rtf, true), err) ? kDone : kFailed;
}

int maskTest(const QStringList &args, QTextStream &out, QTextStream &)
{
    const bool autoFill = !args.contains(QStringLiteral("--no-autofill"));
    QStringList positional = args;
    positional.removeAll(QStringLiteral("--no-autofill"));
    if (positional.size() != 2)
        return kUsage;
    QString text = positional[1];
    const TwwPictureValidator validator(positional[0]);
    const PictureResult result = validator.Picture(text, autoFill);
    out << PictureResultName(result) << "\n" << text << "\n";
    return kDone;
}

// datalink write FILE --provider P --server S --database D [--user U --password W | --integrated]
int datalink(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.value(0) != QLatin1String("write") || args.size() < 2)
        return kUsage;
    DataLinkSettings settings;
    bool hasPassword = false;
    const std::map<QString, QString *> options = {
        {QStringLiteral("--provider"), &settings.provider}, {QStringLiteral("--server"), &settings.server},
        {QStringLiteral("--database"), &settings.database}, {QStringLiteral("--user"), &settings.user},
        {QStringLiteral("--password"), &settings.password}};
    for (qsizetype i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--integrated")) {
            settings.integratedSecurity = true;
            continue;
        }
        const auto option = options.find(args[i]);
        if (option == options.end() || i + 1 >= args.size()) {
            err << "Okänt eller ofullständigt val: " << args[i] << "\n";
            return kUsage;
        }
        hasPassword = hasPassword || args[i] == QLatin1String("--password");
        *option->second = args[++i];
    }
    if (settings.provider.isEmpty() || settings.server.isEmpty()) {
        err << "--provider och --server måste anges.\n";
        return kUsage;
    }
    if (settings.integratedSecurity && (!settings.user.isEmpty() || hasPassword)) {
        err << "--integrated kan inte kombineras med --user eller --password.\n";
        return kUsage;
    }
    for (const QString *value : {&settings.provider, &settings.server, &settings.database,
                                 &settings.user, &settings.password}) {
        if (value->contains(u';')) {
            err << "Värdena får inte innehålla semikolon: " << *value << "\n";
            return kFailed;
        }
    }
    QString error;
    if (!WriteDataLinkFile(args[1], BuildInitString(settings), &error)) {
        err << "Kan inte skriva filen " << args[1] << ": " << error << "\n";
        return kFailed;
    }
    out << "Skrev datalänken " << args[1] << "\n";
    return kDone;
}

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("encrypt-login"),
         {QStringLiteral("encrypt-login ANVÄNDARE LÖSENORD"),
          QStringLiteral("Krypterar inloggningen till VENNICUSER: skriver raderna VNUSERNAME=... och\n"
                         "VNPASSWORD=... med de Base64-texter som ska stå i kolumnerna. Texterna\n"
                         "tas som Windows-1252."),
          2, 2, encryptLogin}},
        {QStringLiteral("decrypt"),
         {QStringLiteral("decrypt TEXT"),
          QStringLiteral("Dekrypterar en Base64-text krypterad med inloggningsnyckeln (till exempel\n"
                         "VENNICUSER.VNUSERNAME) och skriver klartexten."),
          1, 1, decrypt}},
        {QStringLiteral("blob-decode"),
         {QStringLiteral("blob-decode IN UT"),
          QStringLiteral("Läser lagrade PATDIGISIGNATUR-bytes ur filen IN och skriver RTF-dokumentet\n"
                         "till filen UT."),
          2, 2, blobDecode}},
        {QStringLiteral("blob-encode"),
         {QStringLiteral("blob-encode IN UT"),
          QStringLiteral("Läser ett RTF-dokument ur filen IN och skriver det komprimerade och\n"
                         "krypterade lagringsformatet för PATDIGISIGNATUR till filen UT."),
          2, 2, blobEncode}},
        {QStringLiteral("datalink"),
         {QStringLiteral("datalink write FIL --provider P --server S [--database D] "
                         "[--user U --password W | --integrated]"),
          QStringLiteral("Skriver en datalänkfil (.udl) så som Windows datalänkredigerare gör:\n"
                         "UTF-16 med byte-ordningsmärke, avsnittet [oledb] och initieringssträngen.\n"
                         "Leverantörer: SQLOLEDB.1, MSOLEDBSQL, SQLNCLI11 (SQL Server), PostgreSQL\n"
                         "(server som värd[:port]) och SQLite (server som databasfil)."),
          2, 14, datalink}},
        {QStringLiteral("mask-test"),
         {QStringLiteral("mask-test MASK TEXT [--no-autofill]"),
          QStringLiteral("Prövar TEXT mot inmatningsmasken MASK. Skriver resultatet (complete,\n"
                         "incomplete, empty, error eller syntax) och på nästa rad den normaliserade\n"
                         "texten."),
          2, 3, maskTest}},
        {kDemoJournalCommand,
         {kDemoJournalSynopsis, kDemoJournalHelp, kDemoJournalMinArguments,
          kDemoJournalMaxArguments, RunDemoJournalCommand}},
    };
    return table;
}

void printUsage(QTextStream &stream)
{
    stream << "Användning: vnadmin KOMMANDO [ARGUMENT...]\n\nKommandon:\n";
    for (const auto &[name, command] : commands())
        stream << "  " << command.synopsis << "\n";
    stream << "\nvnadmin KOMMANDO --help visar hjälp för ett kommando.\n";
}

bool isHelpOption(const QString &arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

} // namespace

int RunAdminCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.isEmpty()) {
        printUsage(err);
        return kUsage;
    }
    if (isHelpOption(arguments.first())) {
        printUsage(out);
        return kDone;
    }
    const auto found = commands().find(arguments.first());
    if (found == commands().end()) {
        err << "Okänt kommando: " << arguments.first() << "\n\n";
        printUsage(err);
        return kUsage;
    }
    const Command &command = found->second;
    const QStringList args = arguments.mid(1);
    if (std::any_of(args.begin(), args.end(), isHelpOption)) {
        out << "Användning: vnadmin " << command.synopsis << "\n\n" << command.help << "\n";
        return kDone;
    }
    const int code = args.size() < command.minArguments || args.size() > command.maxArguments
                         ? kUsage
                         : command.run(args, out, err);
    if (code == kUsage)
        err << "Användning: vnadmin " << command.synopsis << "\n";
    return code;
}
