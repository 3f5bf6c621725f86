// generate-listing [--order=channel|time] [--language=fr|ru] [--second-source]
// CHANNELS DAYS [OUTPUT]: writes a French (or Russian) XMLTV listing of
// CHANNELS channels, each with programmes covering DAYS days, to OUTPUT or to
// standard output. The same arguments give the same bytes on any machine: the
// text comes from a fixed-seed PRNG and integer arithmetic only. --order=time
// writes the very same programmes sorted by start time (channels alternate)
// instead of channel by channel. --second-source writes the listing a second
// grabber would give of the same channels: every time five minutes later, and
// a tenth of the channels under another id.
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

constexpr std::string_view roles[] = {
    "Commissaire Lefèvre", "Le médecin", "Élise", "La mère", "François", "L’inspecteur",
};

constexpr std::string_view ratings[] = {
    "Tous publics", "Tous publics", "Tous publics", "-10", "-12", "-16", "-18",
};

constexpr std::string_view channel_names[] = {
    "Télé Loisirs", "Canal Découverte", "Ciné Émotion", "Série Club", "Ça Détend",
    "Océan TV", "Planète Nature", "Histoire & Société", "Jeunesse Télé", "Sport Évasion",
};

// The same kinds of text in Russian: Cyrillic words with « », ё and a few
// Latin words, as Russian grabbers write them.
constexpr std::string_view sentence_openers_ru[] = {
    "Сегодня вечером", "Выросший в деревне,", "Всё начинается плохо:", "В Москве", "На Урале",
    "Между съёмками", "После лета", "Лето 1962 года:", "Взволнованный новостью,", "После выхода из тюрьмы",
    "В разгар зимы", "На этой неделе", "Впервые", "Иван и Ольга", "Наконец-то:",
    "На следующий день", "Каждое утро", "Несколько дней спустя", "Сняв маску,", "Разумеется,",
};

constexpr std::string_view words_ru[] = {
    "и", "в", "на", "с", "по", "к", "о", "из", "за", "для", "но", "что", "как", "где",
    "уже", "очень", "после", "даже", "там", "расследование", "команда", "больница", "сначала",
    "сегодня", "комиссар", "следователь", "врач", "ученик", "брат", "сестра", "отец", "мать",
    "герой", "замок", "лес", "река", "окно", "театр", "остров", "берег", "деревня", "ловушка",
    "тайна", "секрет", "правда", "вечер", "день", "год", "век", "жизнь", "общество", "находит",
    "раскрывает", "предпочитает", "защищает", "беспокоится", "решает", "успевает", "сомневается",
    "принимает", "отказывается", "встречает", "продолжает", "получает", "замечает", "странный",
    "тревожный", "знаменитый", "верный", "строгий", "честный", "смешной", "молодой", "старый",
    "новый", "последний", "первый", "большой", "маленький", "красивый", "Алексей", "Наталья",
    "Москва", "Санкт-Петербург", "Казань", "Новосибирск", "Сочи", "Волга", "Байкал", "время",
    "война", "любовь", "работа", "семья", "мир", "дорога", "ночь", "история", "против", "через",
    "между", "ещё", "всегда", "щедрый", "счастье", "объявление", "подъезд", "съёмка", "ёлка",
    "чай", "журнал", "школа", "июль", "TV", "DJ", "онлайн", "шоу", "хоккей", "футбол",
};

constexpr std::string_view quoted_ru[] = {
    "«Я вернусь»", "«правда»", "«Хватит!»", "«дело века»", "«Элементарно»", "«Где он?»", "«мой брат»",
};

constexpr std::string_view series_ru[] = {
    "Время", "Вести", "Поле чудес", "Давай поженимся!", "Пусть говорят", "Следствие вели...",
    "Кухня", "Интерны", "Универ", "Физрук", "Папины дочки", "Склифосовский", "Тайны следствия",
    "Улицы разбитых фонарей", "Вечерний Ургант", "Что? Где? Когда?", "Орёл и решка",
    "Битва экстрасенсов", "Смешарики", "Маша и Медведь", "Спокойной ночи, малыши!", "Жди меня",
    "Модный приговор", "Новости", "Погода",
};

constexpr std::string_view film_nouns_ru[] = {
    "Тайна", "Замок", "Река", "Лето", "Брат", "Секрет", "Правда", "Остров", "Лес",
    "Окно", "Сердце", "Мальчик", "Герой", "Ловушка", "Урок", "Вечер", "Ночь", "Дорога",
};

constexpr std::string_view film_adjectives_ru[] = {
    "страха", "душ", "из Сибири", "в Казани", "под Новый год", "осени", "без конца",
    "на краю", "в тумане", "над Волгой", "прошлого", "с юга", "навсегда",
};

constexpr std::string_view episode_titles_ru[] = {
    "Возвращение", "Часть первая", "Часть вторая", "Лето опасностей", "От этого не отказываются",
    "Откровения", "Горький вкус", "Ложный след", "Ловушка", "Выборы", "Новый год в семье",
    "Под звёздами", "Наследники", "С глазу на глаз",
};

constexpr std::string_view categories_ru[] = {
    "Сериал", "Комедия", "Драма", "Документальный", "Журнал", "Информация", "Развлечения",
    "Детям", "Спорт", "Телефильм", "Фильм", "Детектив", "Фантастика", "Музыка",
    "Общество", "Кулинария", "Погода", "Игра", "Детективный сериал", "Мелодрама",
};

constexpr std::string_view first_names_ru[] = {
    "Иван", "Алексей", "Наталья", "Ольга", "Сергей", "Дмитрий", "Екатерина", "Юлия", "Андрей",
    "Михаил", "Татьяна", "Елена", "Владимир", "Анна", "Мария", "Николай", "Пётр", "Светлана",
    "Фёдор", "Ксения", "Григорий", "Людмила", "Константин", "Вера", "Борис", "Жанна",
};

constexpr std::string_view last_names_ru[] = {
    "Иванов", "Петров", "Смирнов", "Кузнецов", "Соколов", "Попов", "Лебедев", "Козлов",
    "Новиков", "Морозов", "Волков", "Соловьёв", "Васильев", "Зайцев", "Павлов", "Семёнов",
    "Голубев", "Виноградов", "Богданов", "Воробьёв", "Фёдоров", "Михайлов", "Щербаков", "Хабенский",
};

constexpr std::string_view roles_ru[] = {
    "Комиссар Петров", "Врач", "Елена", "Мать", "Фёдор", "Следователь",
};

constexpr std::string_view ratings_ru[] = {"0+", "6+", "12+", "12+", "16+", "16+", "18+"};

constexpr std::string_view channel_names_ru[] = {
    "Первый канал", "Россия 1", "НТВ", "Пятый канал", "Культура",
    "Звезда", "Мир", "ТВ Центр", "Карусель", "Матч ТВ",
};

using words_t = std::span<const std::string_view>;

// Every text a listing draws from, in one language.
struct vocabulary {
    std::string_view lang;   // the lang attribute of the texts
    std::string_view domain; // channel ids are cN.tv.example.DOMAIN
    words_t sentence_openers, words, quoted, series, film_articles, film_nouns, film_adjectives,
        episode_titles, categories, first_names, last_names, roles, ratings, channel_names;
};

constexpr std::string_view film_articles[] = {"Le ", "La "};
constexpr std::string_view film_articles_ru[] = {"", ""}; // drawn all the same: the same draws

constexpr vocabulary french{"fr", "fr", sentence_openers, words, quoted, series, film_articles, film_nouns,
                            film_adjectives, episode_titles, categories, first_names, last_names, roles,
                            ratings, channel_names};
constexpr vocabulary russian{"ru", "ru", sentence_openers_ru, words_ru, quoted_ru, series_ru, film_articles_ru,
                             film_nouns_ru, film_adjectives_ru, episode_titles_ru, categories_ru, first_names_ru,
                             last_names_ru, roles_ru, ratings_ru, channel_names_ru};

// A description of 100 to about 600 bytes, in whole sentences.
std::string description(prng& random, const vocabulary& v) {
    const std::size_t wanted = static_cast<std::size_t>(random.between(100, 540));
    std::string text;
    while (text.size() < wanted) {
        if (!text.empty()) text += ' ';
        text += random.pick(v.sentence_openers);
        const int count = random.between(6, 16);
        for (int i = 0; i < count && (i < 3 || text.size() < wanted); ++i) {
            text += ' ';
            text += random.percent(4) ? random.pick(v.quoted) : random.pick(v.words);
        }
        text += random.pick(endings);
    }
    return text;
}

std::string title(prng& random, const vocabulary& v, bool film) {
    if (!film) return std::string(random.pick(v.series));
    std::string text(v.film_articles[random.percent(50) ? 0 : 1]);
    text += random.pick(v.film_nouns);
    text += ' ';
    text += random.pick(v.film_adjectives);
    return text;
}

std::string person(prng& random, const vocabulary& v) {
    std::string name(random.pick(v.first_names));
    name += ' ';
    name += random.pick(v.last_names);
    return name;
}

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

std::string channel_id(const vocabulary& v, int number) {
    std::string id = "c";
    id += std::to_string(number);
    id += ".tv.example.";
    id += shift.renamed_every > 0 && number % shift.renamed_every == 0 ? "be" : v.domain;
    return id;
}

void write_channel(sink& out, const vocabulary& v, int number) {
    out << "  <channel id=\"" << channel_id(v, number) << "\">\n";
    const std::string name = std::string(v.channel_names[static_cast<std::size_t>(number) % v.channel_names.size()]) +
                             " " + std::to_string(number);
    out << "    <display-name>" << escaped(name) << "</display-name>\n";
    out << "    <icon src=\"https://img.example.fr/logos/c" << long{number} << ".png\" />\n";
    out << "  </channel>\n";
}

void write_credits(sink& out, prng& random, const vocabulary& v, bool film) {
    const int directors = film ? random.between(1, 2) : random.between(0, 1);
    const int actors = film ? random.between(2, 8) : random.between(0, 4);
    const bool presenter = !film && random.percent(25);
    if (directors + actors == 0 && !presenter) return;
    out << "    <credits>\n";
    for (int i = 0; i < directors; ++i) out << "      <director>" << escaped(person(random, v)) << "</director>\n";
    for (int i = 0; i < actors; ++i) {
        out << "      <actor";
        if (random.percent(50)) out << " role=\"" << escaped(random.pick(v.roles)) << "\"";
        out << ">" << escaped(person(random, v)) << "</actor>\n";
    }
    if (presenter) out << "      <presenter>" << escaped(person(random, v)) << "</presenter>\n";
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

void write_programme(sink& out, prng& random, const vocabulary& v, int channel, long start, int duration) {
    const bool film = duration >= 90;
    const bool episode = !film && random.percent(60);
    out << "  <programme start=\"" << timestamp(start) << "\" stop=\"" << timestamp(start + duration)
        << "\" channel=\"" << channel_id(v, channel) << "\">\n";
    out << "    <title lang=\"" << v.lang << "\">" << escaped(title(random, v, film)) << "</title>\n";
    if (episode)
        out << "    <sub-title lang=\"" << v.lang << "\">" << escaped(random.pick(v.episode_titles)) << "</sub-title>\n";
    out << "    <desc lang=\"" << v.lang << "\">" << escaped(description(random, v)) << "</desc>\n";
    write_credits(out, random, v, film);
    if (film || random.percent(40)) out << "    <date>" << long{random.between(1950, 2024)} << "</date>\n";
    const int category_count = random.between(1, 3);
    for (int i = 0; i < category_count; ++i)
        out << "    <category lang=\"" << v.lang << "\">" << random.pick(v.categories) << "</category>\n";
    write_technical(out, random, duration, episode);
    if (random.percent(85))
        out << "    <rating system=\"CSA\">\n      <value>" << random.pick(v.ratings) << "</value>\n    </rating>\n";
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

void write_next_programme(sink& out, const vocabulary& v, channel_schedule& channel, int number) {
    const int duration = durations[channel.random.below(static_cast<int>(std::size(durations)))];
    write_programme(out, channel.random, v, number, channel.start, duration);
    channel.start += duration;
}

void write_in_channel_order(sink& out, const vocabulary& v, prng& random, int channels, long end) {
    for (int c = 1; c <= channels; ++c) {
        channel_schedule channel{random, 0};
        while (channel.start < end) write_next_programme(out, v, channel, c);
        random = channel.random;
    }
}

// The programmes of channel order, sorted by start time, then by channel.
void write_in_time_order(sink& out, const vocabulary& v, prng& random, int channels, long end) {
    // Each channel's random state where channel order starts it.
    std::vector<channel_schedule> schedules;
    sink nowhere(nullptr);
    for (int c = 1; c <= channels; ++c) {
        schedules.push_back({random, 0});
        channel_schedule channel{random, 0};
        while (channel.start < end) write_next_programme(nowhere, v, channel, c);
        random = channel.random;
    }
    using next = std::pair<long, int>; // start, channel
    std::priority_queue<next, std::vector<next>, std::greater<>> due;
    for (int c = 1; c <= channels; ++c) due.push({0, c});
    while (!due.empty()) {
        const int c = due.top().second;
        due.pop();
        channel_schedule& channel = schedules[static_cast<std::size_t>(c - 1)];
        write_next_programme(out, v, channel, c);
        if (channel.start < end) due.push({channel.start, c});
    }
}

void write_listing(sink& out, const vocabulary& v, int channels, int days, bool time_order) {
    prng random;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
           "<tv source-info-name=\"Guide Exemple\" generator-info-name=\"generate-listing\">\n";
    for (int c = 1; c <= channels; ++c) write_channel(out, v, c);
    const long end = 1440L * days;
    if (time_order) write_in_time_order(out, v, random, channels, end);
    else write_in_channel_order(out, v, random, channels, end);
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

// "--order=channel|time" into `time_order`, "--language=fr|ru" into
// `language`, "--second-source" into `shift`; false for anything else.
bool parse_option(std::string_view option, bool& time_order, const vocabulary*& language) {
    if (option == "--order=channel" || option == "--order=time") time_order = option == "--order=time";
    else if (option == "--language=fr") language = &french;
    else if (option == "--language=ru") language = &russian;
    else if (option == "--second-source") shift = {5, 10};
    else return false;
    return true;
}

int main(int argc, char** argv) {
    const auto usage = [] {
        std::fprintf(stderr, "usage: generate-listing [--order=channel|time] [--language=fr|ru] [--second-source]"
                             " CHANNELS DAYS [OUTPUT]\n");
        return 2;
    };
    bool time_order = false;
    const vocabulary* language = &french;
    for (; argc > 1 && std::strncmp(argv[1], "--", 2) == 0; --argc, ++argv)
        if (!parse_option(argv[1], time_order, language)) return usage();
    int channels = 0, days = 0;
    if (argc < 3 || argc > 4 || !parse_count(argv[1], channels) || !parse_count(argv[2], days)) return usage();
    std::FILE* file = argc == 4 ? std::fopen(argv[3], "wb") : stdout;
    if (file == nullptr) {
        std::perror(argv[3]);
        return 1;
    }
    sink out(file);
    write_listing(out, *language, channels, days, time_order);
    const bool written = out.finish();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "generate-listing: write failed\n");
        return 1;
    }
    return 0;
}
