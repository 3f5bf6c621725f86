// generate-listing [--order=channel|time] [--second-source] CHANNELS DAYS
// [OUTPUT]: writes a French XMLTV listing of CHANNELS channels, each with
// programmes covering DAYS days, to OUTPUT or to standard output. The same
// arguments give the same bytes on any machine: the text comes from a
// fixed-seed PRNG and integer arithmetic only. --order=time writes the very
// same programmes sorted by start time (channels alternate) instead of
// channel by channel. --second-source writes the listing a second grabber
// would give of the same channels: every time five minutes later, and a
// tenth of the channels under another id.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <queue>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// splitmix64: tiny, fast, and the same everywhere.
class prng {
public:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // In [0, n); the modulo bias is irrelevant here.
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int chance) { return below(100) < chance; }
    std::string_view pick(std::span<const std::string_view> words) {
        return words[static_cast<std::size_t>(below(static_cast<int>(words.size())))];
    }

private:
    std::uint64_t state_ = 20240304;
};

// Output through one large buffer; without a file, output is dropped.
class sink {
public:
    explicit sink(std::FILE* file) : file_(file) { buffer_.reserve(limit + 4096); }
    sink(const sink&) = delete;
    sink& operator=(const sink&) = delete;

    sink& operator<<(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= limit) flush();
        return *this;
    }
    sink& operator<<(long number) { return *this << std::string_view(std::to_string(number)); }
    // Writes what is left; false when any write failed.
    bool finish() {
        flush();
        return !failed_;
    }

private:
    static constexpr std::size_t limit = 1 << 20;
    void flush() {
        if (file_ != nullptr && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
        buffer_.clear();
    }
    std::FILE* file_;
    std::string buffer_;
    bool failed_ = false;
};

// Text as it must appear inside an element or a double-quoted attribute.
std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

constexpr std::string_view sentence_openers[] = {
    "Ce soir,", "Élevé à la campagne,", "Ça commence mal :", "À Marseille,", "Dans l’Ouest,",
    "Entre deux tournages,", "Après l’été,", "Été 1962 :", "Ému par la nouvelle,", "Depuis sa sortie de prison,",
    "Au cœur de l’hiver,", "Cette semaine,", "Pour la première fois,", "Éric et Sophie", "Ça y est :",
    "Le lendemain,", "Chaque matin,", "Quelques jours plus tard,", "Ôtant son masque,", "Évidemment,",
};

constexpr std::string_view words[] = {
    "le", "la", "les", "un", "une", "des", "de", "du", "et", "à", "dans", "pour", "sur", "avec",
    "sans", "qui", "que", "où", "mais", "puis", "très", "déjà", "après", "même", "là",
    "l’enquête", "l’équipe", "l’hôpital", "d’abord", "qu’il", "qu’elle", "aujourd’hui", "jusqu’à",
    "commissaire", "inspectrice", "médecin", "élève", "frère", "sœur", "père", "mère", "héros",
    "château", "forêt", "rivière", "fenêtre", "théâtre", "île", "côte", "village", "piège",
    "mystère", "secret", "vérité", "soirée", "journée", "année", "siècle", "réalité", "société",
    "découvre", "révèle", "préfère", "protège", "s’inquiète", "décide", "réussit", "hésite",
    "accepte", "refuse", "rejoint", "retrouve", "poursuit", "enquête", "reçoit", "aperçoit",
    "étrange", "inquiétant", "célèbre", "fidèle", "sévère", "honnête", "drôle", "fraîche",
    "naïf", "naïve", "aiguë", "Noël", "Loïc", "Zoé", "Gaëlle", "Hélène", "François", "Jérôme",
    "leçon", "garçon", "façade", "reçu", "déçu", "maçon", "où", "goût", "coûte", "bientôt",
    "août", "âge", "pâtes", "gâteau", "tâche", "bâtiment", "âme", "crème", "brûlée", "noël",
    "Paris", "Lyon", "Genève", "Besançon", "Nîmes", "Orléans", "Pérou", "Québec", "Sénégal",
    "temps", "guerre", "amour", "travail", "famille", "monde", "route", "nuit", "histoire",
    "ancien", "nouvelle", "dernier", "première", "grand", "petite", "jeune", "vieux", "beau",
    "contre", "chez", "vers", "entre", "pendant", "depuis", "avant", "encore", "toujours",
};

constexpr std::string_view quoted[] = {
    "« Je reviendrai »", "« la vérité »", "« Ça suffit ! »", "« l’affaire du siècle »",
    "« Élémentaire »", "« Où est-il ? »", "« mon frère »",
};

constexpr std::string_view endings[] = {".", ".", ".", ".", " !", " ?", "…"};

// A description of 100 to about 600 bytes, in whole sentences.
std::string description(prng& random) {
    const std::size_t wanted = static_cast<std::size_t>(random.between(100, 540));
    std::string text;
    while (text.size() < wanted) {
        if (!text.empty()) text += ' ';
        text += random.pick(sentence_openers);
        const int count = random.between(6, 16);
        for (int i = 0; i < count && (i < 3 || text.size() < wanted); ++i) {
            text += ' ';
            text += random.percent(4) ? random.pick(quoted) : random.pick(words);
        }
        text += random.pick(endings);
    }
    return text;
}

constexpr std::string_view series[] = {
    "Plus belle la vie", "Les Experts : Miami", "Tom & Jerry", "Ça commence aujourd’hui",
    "Échappées belles", "Question pour un champion", "Des chiffres et des lettres",
    "Le Journal de 20 h", "Météo", "Télématin", "C à vous", "Faites entrer l’accusé",
    "Un si grand soleil", "Les Reines du shopping", "Zone interdite", "Thalassa",
    "Capital", "Des racines et des ailes", "L’Amour est dans le pré", "Koh-Lanta",
    "Envoyé spécial", "Les Maternelles", "Engrenages", "Dix pour cent", "Candice Renoir",
};

constexpr std::string_view film_nouns[] = {
    "Mystère", "Château", "Rivière", "Été", "Frère", "Secret", "Vérité", "Île", "Forêt",
    "Fenêtre", "Cœur", "Garçon", "Héros", "Piège", "Leçon", "Soirée", "Nuit", "Route",
};

constexpr std::string_view film_adjectives[] = {
    "perdu", "éternel", "étrange", "interdit", "oublié", "bleu", "de la peur",
    "des âmes", "du Sénégal", "à Besançon", "de Noël", "d’automne", "sans fin",
};

std::string title(prng& random, bool film) {
    if (!film) return std::string(random.pick(series));
    std::string text = random.percent(50) ? "Le " : "La ";
    text += random.pick(film_nouns);
    text += ' ';
    text += random.pick(film_adjectives);
    return text;
}

constexpr std::string_view episode_titles[] = {
    "Le retour", "Première partie", "Deuxième partie", "L’été de tous les dangers",
    "Ça ne se refuse pas", "Révélations", "Un goût amer", "Fausse piste", "Le piège",
    "Élection", "Noël en famille", "Sous les étoiles", "Les héritiers", "Tête-à-tête",
};

constexpr std::string_view categories[] = {
    "Série", "Comédie", "Drame", "Documentaire", "Magazine", "Information", "Divertissement",
    "Jeunesse", "Sport", "Téléfilm", "Film", "Policier", "Science-fiction", "Musique",
    "Société", "Cuisine", "Météo", "Jeu", "Série policière", "Comédie dramatique",
};

constexpr std::string_view first_names[] = {
    "Éric", "François", "Hélène", "Jérôme", "Françoise", "Loïc", "Gaël", "Zoé", "Noémie",
    "Céline", "Stéphane", "Cécile", "Aurélie", "Benoît", "Anaïs", "Mélanie", "Thérèse",
    "Jean", "Marie", "Pierre", "Claire", "Luc", "Sophie", "Michel", "Isabelle", "Raphaël",
};

constexpr std::string_view last_names[] = {
    "Lefèvre", "Dupré", "Garçon", "Martin", "Bernard", "Lemaître", "Fournier", "Giraud",
    "Bréhat", "Mercier", "Chevrier", "Fèvre", "Dubœuf", "Ménard", "Bézier", "Préval",
    "Durand", "Leroy", "Moreau", "Laurent", "Rousseau", "Thébault", "Lebœuf", "N’Diaye",
};

std::string person(prng& random) {
    std::string name(random.pick(first_names));
    name += ' ';
    name += random.pick(last_names);
    return name;
}

constexpr std::string_view roles[] = {
    "Commissaire Lefèvre", "Le médecin", "Élise", "La mère", "François", "L’inspecteur",
};

constexpr std::string_view ratings[] = {
    "Tous publics", "Tous publics", "Tous publics", "-10", "-12", "-16", "-18",
};

// Short programmes, an hour or so, and films: about twenty a day.
constexpr int durations[] = {5, 10, 15, 26, 30, 45, 52, 52, 60, 90, 95, 105, 110, 120, 135, 150};

struct day_date {
    int year, month, day;
};

// Calendar date of `days` days after 1970-01-01 (proleptic Gregorian).
day_date civil_from_days(long days) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long doe = days - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

constexpr long first_day = 19786; // 2024-03-04

// What --second-source changes: the times, later by this many minutes, and
// the id of every channel whose number is a multiple of `renamed_every`.
struct source_shift {
    long minutes = 0;
    int renamed_every = 0;
};
source_shift shift;

// "YYYYMMDDhhmmss +0100" for `minutes` after midnight of the first day.
std::string timestamp(long minutes) {
    minutes += shift.minutes;
    const day_date date = civil_from_days(first_day + minutes / 1440);
    const long minute_of_day = minutes % 1440;
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02ld%02ld00 +0100", date.year, date.month,
                  date.day, minute_of_day / 60, minute_of_day % 60);
    return text;
}

std::string channel_id(int number) {
    std::string id = "c";
    id += std::to_string(number);
    id += shift.renamed_every > 0 && number % shift.renamed_every == 0 ? ".tv.example.be" : ".tv.example.fr";
    return id;
}

constexpr std::string_view channel_names[] = {
    "Télé Loisirs", "Canal Découverte", "Ciné Émotion", "Série Club", "Ça Détend",
    "Océan TV", "Planète Nature", "Histoire & Société", "Jeunesse Télé", "Sport Évasion",
};

void write_channel(sink& out, int number) {
    out << "  <channel id=\"" << channel_id(number) << "\">\n";
    const std::string name = std::string(channel_names[static_cast<std::size_t>(number) % 10]) + " " +
                             std::to_string(number);
    out << "    <display-name>" << escaped(name) << "</display-name>\n";
    out << "    <icon src=\"https://img.example.fr/logos/c" << long{number} << ".png\" />\n";
    out << "  </channel>\n";
}

void write_credits(sink& out, prng& random, bool film) {
    const int directors = film ? random.between(1, 2) : random.between(0, 1);
    const int actors = film ? random.between(2, 8) : random.between(0, 4);
    const bool presenter = !film && random.percent(25);
    if (directors + actors == 0 && !presenter) return;
    out << "    <credits>\n";
    for (int i = 0; i < directors; ++i) out << "      <director>" << escaped(person(random)) << "</director>\n";
    for (int i = 0; i < actors; ++i) {
        out << "      <actor";
        if (random.percent(50)) out << " role=\"" << escaped(random.pick(roles)) << "\"";
        out << ">" << escaped(person(random)) << "</actor>\n";
    }
    if (presenter) out << "      <presenter>" << escaped(person(random)) << "</presenter>\n";
    out << "    </credits>\n";
}

// The elements a converter does not read.
void write_technical(sink& out, prng& random, int duration, bool episode) {
    out << "    <length units=\"minutes\">" << long{duration} << "</length>\n";
    if (episode) {
        const long season = random.between(1, 12), number = random.between(1, 24);
        out << "    <episode-num system=\"xmltv_ns\">" << season - 1 << "." << number - 1
            << ".0/1</episode-num>\n";
        out << "    <episode-num system=\"onscreen\">S" << season << "E" << number
            << "</episode-num>\n";
    }
    out << "    <video>\n      <aspect>16:9</aspect>\n      <quality>HDTV</quality>\n    </video>\n";
    out << "    <audio>\n      <stereo>stereo</stereo>\n    </audio>\n";
}

void write_programme(sink& out, prng& random, int channel, long start, int duration) {
    const bool film = duration >= 90;
    const bool episode = !film && random.percent(60);
    out << "  <programme start=\"" << timestamp(start) << "\" stop=\"" << timestamp(start + duration)
        << "\" channel=\"" << channel_id(channel) << "\">\n";
    out << "    <title lang=\"fr\">" << escaped(title(random, film)) << "</title>\n";
    if (episode) out << "    <sub-title lang=\"fr\">" << escaped(random.pick(episode_titles)) << "</sub-title>\n";
    out << "    <desc lang=\"fr\">" << escaped(description(random)) << "</desc>\n";
    write_credits(out, random, film);
    if (film || random.percent(40)) out << "    <date>" << long{random.between(1950, 2024)} << "</date>\n";
    const int category_count = random.between(1, 3);
    for (int i = 0; i < category_count; ++i)
        out << "    <category lang=\"fr\">" << random.pick(categories) << "</category>\n";
    write_technical(out, random, duration, episode);
    if (random.percent(85))
        out << "    <rating system=\"CSA\">\n      <value>" << random.pick(ratings) << "</value>\n    </rating>\n";
    if (random.percent(40))
        out << "    <star-rating>\n      <value>" << long{random.between(1, 5)} << "/5</value>\n    </star-rating>\n";
    out << "  </programme>\n";
}

// A channel's programmes come from its own random state, so that they are the
// same bytes whichever order the channels' programmes are interleaved in.
struct channel_schedule {
    prng random;
    long start = 0;
};

void write_next_programme(sink& out, channel_schedule& channel, int number) {
    const int duration = durations[channel.random.below(static_cast<int>(std::size(durations)))];
    write_programme(out, channel.random, number, channel.start, duration);
    channel.start += duration;
}

void write_in_channel_order(sink& out, prng& random, int channels, long end) {
    for (int c = 1; c <= channels; ++c) {
        channel_schedule channel{random, 0};
        while (channel.start < end) write_next_programme(out, channel, c);
        random = channel.random;
    }
}

// The programmes of channel order, sorted by start time, then by channel.
void write_in_time_order(sink& out, prng& random, int channels, long end) {
    // Each channel's random state where channel order starts it.
    std::vector<channel_schedule> schedules;
    sink nowhere(nullptr);
    for (int c = 1; c <= channels; ++c) {
        schedules.push_back({random, 0});
        channel_schedule channel{random, 0};
        while (channel.start < end) write_next_programme(nowhere, channel, c);
        random = channel.random;
    }
    using next = std::pair<long, int>; // start, channel
    std::priority_queue<next, std::vector<next>, std::greater<>> due;
    for (int c = 1; c <= channels; ++c) due.push({0, c});
    while (!due.empty()) {
        const int c = due.top().second;
        due.pop();
        channel_schedule& channel = schedules[static_cast<std::size_t>(c - 1)];
        write_next_programme(out, channel, c);
        if (channel.start < end) due.push({channel.start, c});
    }
}

void write_listing(sink& out, int channels, int days, bool time_order) {
    prng random;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
           "<tv source-info-name=\"Guide Exemple\" generator-info-name=\"generate-listing\">\n";
    for (int c = 1; c <= channels; ++c) write_channel(out, c);
    const long end = 1440L * days;
    if (time_order) write_in_time_order(out, random, channels, end);
    else write_in_channel_order(out, random, channels, end);
    out << "</tv>\n";
}

bool parse_count(const char* text, int& count) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 100000) return false;
    count = static_cast<int>(value);
    return true;
}

} // namespace

// One of the options; false for anything else.
bool parse_option(std::string_view option, bool& time_order) {
    if (option == "--order=channel" || option == "--order=time") {
        time_order = option == "--order=time";
        return true;
    }
    if (option != "--second-source") return false;
    shift = {5, 10};
    return true;
}

int main(int argc, char** argv) {
    bool time_order = false;
    bool options_ok = true;
    while (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) {
        options_ok = options_ok && parse_option(argv[1], time_order);
        --argc;
        ++argv;
    }
    int channels = 0, days = 0;
    if (!options_ok || argc < 3 || argc > 4 || !parse_count(argv[1], channels) || !parse_count(argv[2], days)) {
        std::fprintf(stderr, "usage: generate-listing [--order=channel|time] [--second-source] CHANNELS DAYS [OUTPUT]\n");
        return 2;
    }
    std::FILE* file = argc == 4 ? std::fopen(argv[3], "wb") : stdout;
    if (file == nullptr) {
        std::perror(argv[3]);
        return 1;
    }
    sink out(file);
    write_listing(out, channels, days, time_order);
    const bool written = out.finish();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "generate-listing: write failed\n");
        return 1;
    }
    return 0;
}
