#include "NewsTopics.h"

namespace {

CNewsTopic MakeCity() {
    return {
        "City",
        {"{a} approves {b} & {b2}", "{a} delays vote on {b}",
         "Residents in {c} petition against {b}", "{b} to open in {c} next {w}",
         "{n} homes in {c} without power after storm", "Budget talks: {b} & {b2} win funding",
         "{a} promises review of {b}", "Road works close {c} junction for {n} days",
         "Night market returns to {c} after {n} years", "{a} unveils plan for {b} in {c}",
         "Survey finds {n} percent back {b}", "Volunteers clean up {c} & {c2} riverbanks",
         "{a} and {a2} clash over {b}", "Cost of {b} rises to {k} million",
         "Q&A: what the {b} means for {c}"},
        {"{a} said the decision followed months of consultation with people in {c}.",
         "Work on the {b} is expected to take about {n} weeks.",
         "Critics argue the money would be better spent on the {b2}.",
         "A public meeting is planned at the community hall in {c} on {w}.",
         "Officials put the total cost at {k} million.",
         "{a2} asked for a detailed timetable before the next session.",
         "Shop owners in {c2} said they would wait to see the final design.",
         "The proposal will return to the full council within {n} days."},
        {"City council", "Mayor Elena Brandt", "Harbour board", "Transit authority",
         "Parks department", "Ward 7 councillors", "Fire service chiefs", "Library trustees",
         "Planning committee", "Water utility", "Tenants union", "Chamber of commerce"},
        {"harbour bridge plan", "new bus lanes", "riverside park", "night tram service",
         "Old Mill Street redesign", "school crossing", "tenant protection rules",
         "recycling depot", "flood barrier", "bike share scheme", "market square",
         "street lighting upgrade", "public pool", "car-free Sunday"},
        {"Millbrook", "the Eastside", "Canal Ward", "Hilltop", "the Old Town", "Southbank",
         "Ferry Point", "Linden Park", "the harbour district", "North Quay"},
    };
}

CNewsTopic MakeBusiness() {
    return {
        "Business",
        {"{a} {b} jump {n} percent", "{a} {b} slide {n} percent",
         "{a} agrees {k} billion takeover of {a2}", "{a} & {a2} merger talks stall",
         "{a} to cut {n}0 jobs in {c}", "Rate pause lifts {c} as {b} climb",
         "{a} chief steps down after {d} years", "Investors shrug off worries as {b} climb",
         "{a} bets on {c} with {k} million investment", "Strike ends at {a} & pay deal agreed",
         "Analysts split on outlook for {c} after {n} percent swing",
         "{a} shares hit {n}-month high", "Regulator fines {a} {k} million",
         "Profit & loss: a quiet week for {c}"},
        {"The company said {b} had been stronger than expected in {c}.",
         "Shares in {a} closed {k} percent higher on {w}.",
         "Analysts at {a2} said the figures pointed to a steadier year.",
         "Trading volumes were about {n} percent above the monthly average.",
         "Management expects conditions in {c} to improve by the autumn.",
         "Unions said they would study the details before commenting.",
         "The next trading update is due in {n} weeks."},
        {"Brackwell Foods", "Norrow & Finch", "Tallis Logistics", "Graymoor Bank",
         "Ostrander Steel", "Kelpie Airlines", "Vantor Pharmaceuticals", "Hollis & Yates",
         "Pennyroyal Retail", "Crestline Energy", "Marlow Shipping", "Quillon Insurance"},
        {"quarterly profits", "shares", "sales", "export orders", "bond yields", "factory orders",
         "rents", "fuel prices", "first-half earnings", "online sales", "order books",
         "staff numbers"},
        {"overseas markets", "regional branches", "the tech sector", "small firms",
         "the housing market", "the airline industry", "the farm sector", "retail parks",
         "the freight business", "the energy market"},
    };
}

CNewsTopic MakeTechnology() {
    return {
        "Technology",
        {"{a} unveils {b} aimed at schools", "{a} recalls {b} over overheating fears",
         "{a} & {a2} team up on {b}", "Review: the {a} {b} is fast but pricey",
         "{a} fixes {n} security flaws in its {b}", "{a} faces questions over {c}",
         "Startup {a} raises {k} million for a {b}", "Why {c} matters for the next {b}",
         "{a} {b} delayed until spring", "Outage hits {a} {b} for {n} hours",
         "{a} promises better {c} & lower prices", "Hands on with the {a} {b}",
         "{a} buys {a2} in {k} billion deal", "Q&A: how {c} shapes the {b}"},
        {"The {b} will reach shops in {n} countries, according to {a}.",
         "Engineers said the main challenge had been {c}.",
         "Early testers praised the design but raised concerns about {c2}.",
         "{a2} is expected to respond with its own {b2} later this year.",
         "The firm said {n} percent of its users would see the update within a week.",
         "Independent researchers are still examining the claims.",
         "A developer preview is planned for {w}."},
        {"Zentrix", "Halcyon Labs", "Pixelmoor", "Quanta Grid", "Nimbly", "Orbitel",
         "Corvid Systems", "Lumen & Lattice", "Sprocket Software", "Tessera Chips", "Bramblenet",
         "Vireo Robotics"},
        {"chip", "phone", "search tool", "smart speaker", "laptop", "cloud service", "browser",
         "game console", "car dashboard", "translation app", "satellite link", "home robot"},
        {"privacy rules", "battery life", "open source", "data centre power", "security",
         "app store fees", "pricing", "accessibility", "repairability", "energy use"},
    };
}

CNewsTopic MakeSport() {
    return {
        "Sport",
        {"{a} beat {a2} {s}-{t} in {c}", "{a} {s}-{t} {a2}: late drama in {c}",
         "{b} signs new deal with {a}", "{b} out for {d} weeks with knee injury",
         "{a} & {a2} share the points in {c}", "Fans queue overnight for {a} tickets for {c}",
         "{a} part with manager after {n} games without a win", "{b} breaks club record in {c}",
         "Preview: {a} v {a2} in {c}", "{a} confirm stadium expansion & new training ground",
         "Rain halts {c} at {a2} ground", "{b} of {a} named player of the month",
         "Transfer talk: {a} watch {b}"},
        {"{b} said the squad had prepared well for {c}.",
         "A crowd of more than {n} thousand watched the match.",
         "{a2} will look to respond when the sides meet again next {w}.",
         "The club doctor expects a full update within {n} days.",
         "It was the first win for {a} in {c} for {n} years.",
         "Both coaches praised the referee after a tense second half.",
         "Tickets for the return fixture go on sale on {w}."},
        {"Riverton Rovers", "Ashford Athletic", "Kestrel City", "Port Alden United",
         "Greystone Wanderers", "Millbrook Mariners", "Harrow Vale", "Eastfield Comets",
         "Sable Bay", "Northgate Rangers", "Oakhurst Town", "Fenwick Falcons"},
        {"striker Tomas Reyes", "captain Ada Okafor", "goalkeeper Lars Penn", "coach Mira Sandoval",
         "winger Joel Hart", "sprinter Nia Castell", "veteran Ben Aldous", "teenager Kofi Mensah",
         "defender Ivo Marsh", "midfielder Sol Varga"},
        {"the cup semi-final", "the derby", "the league opener", "the relay final",
         "the charity match", "the title decider", "the away leg", "the harbour marathon",
         "the indoor championships", "the play-offs"},
    };
}

CNewsTopic MakeScience() {
    return {
        "Science",
        {"{a} discover {b}", "{a} find {b} in {c}", "Study links {b} & {b2}",
         "{a} map {b} using drones", "New telescope at {c} spots {b}", "{a} report progress on {b}",
         "Could {b} help farmers in {c}?", "Sensors in {c} reveal {b}",
         "{a} & {a2} share prize for work on {b}", "Expedition to {c} returns with {n} samples",
         "Q&A: what {b} in {c} tells us", "{n}-year study tracks {b} in {c}",
         "Museum displays {b} found in {c}"},
        {"The findings are based on {n} months of measurements in {c}.",
         "{a2} said the results still needed to be repeated independently.",
         "The team plans to publish the full data set later this year.",
         "Funding came from a {k} million research grant.",
         "Similar work on {b2} had produced mixed results.",
         "Samples will be stored at the university archive for future study.",
         "A public lecture on the work is planned for {w}."},
        {"Researchers at Quarkwell University", "A team in Port Alden", "Marine biologists",
         "Astronomers", "Geologists", "Climate scientists", "Medical researchers", "A student team",
         "Botanists", "Physicists at Halden Institute", "Engineers at Coldwater Tech",
         "Ecologists"},
        {"a new species of frog", "water on a distant moon", "a faster vaccine test",
         "ancient seeds", "a cheaper solar cell", "a comet's tail", "bee navigation",
         "deep-sea vents", "a brain signal linked to memory", "plastic-eating bacteria",
         "coral recovery", "a lost river channel"},
        {"the northern fjords", "the Sable Desert", "the polar ice", "the Kestrel Reef",
         "a hillside observatory", "the lab", "the rainforest canopy", "the old copper mines",
         "the tidal flats", "orbit"},
    };
}

CNewsTopic MakeCulture() {
    return {
        "Culture",
        {"{a} announces {b} for the new season", "Review: {b} by {a} at {c}",
         "{a} & {a2} join forces on {b}", "{b} draws {n} thousand visitors to {c}",
         "{a} wins award for {b}", "Tickets for {b} sell out in {n} minutes",
         "{c} to host {b} this {w}", "Behind the scenes of {b} at {c}", "{a} opens {b} in {c}",
         "Interview: {a} on {b}, art & ambition", "Five things to see in {c} this {w}",
         "{a} cancels {d} tour dates & promises return", "{a} returns to {c} with {b}"},
        {"{a} said the idea for {b} came during a long walk through {c}.",
         "The run continues until the end of the month, with {n} performances planned.",
         "Local critics have been largely positive.", "Entry is free for visitors under {n}.",
         "{a2} will take part in a discussion after the opening night.",
         "Volunteers from {c2} helped build the sets.",
         "A recording will be available at the central library from {w}."},
        {"The Lantern Theatre", "Novelist Ines Marlowe", "The City Orchestra", "Painter Otto Vell",
         "Director Sunniva Rask", "The Millbrook Players", "Poet Amara Quist",
         "The Harbour Gallery", "Composer Felix Orin", "The Folk & Film Festival",
         "Choreographer Dara Wynn", "The Riverside Jazz Club"},
        {"a new opera", "a debut novel", "a retrospective", "a silent film restoration",
         "a winter festival", "a street art trail", "a puppet show", "a photography exhibition",
         "a choral premiere", "a graphic novel", "a theatre revival", "a documentary"},
        {"the Old Town", "the harbour warehouses", "Linden Park", "the central library",
         "Ferry Point", "the town hall", "Southbank", "an empty cinema", "the botanical gardens",
         "the old station"},
    };
}

CNewsTopic MakeWeather() {
    return {
        "Weather",
        {"{b} expected across {c} on {w}", "{a} warn of {b} & {b2} this week",
         "Temperatures to reach {d} degrees in {c}", "Travel disrupted by {b} near {c}",
         "{a} prepare for {b}", "Weekend outlook for {c}: {b} then sunshine",
         "Valley station records unusual {b} in {c}", "{a} welcome end of {b}",
         "Yellow alert for {b} in {c}", "River levels rise after {n} hours of rain",
         "Wind & rain: {a} ready for a wild {w}"},
        {"{a} expect conditions to ease by {w} evening.",
         "Up to {n} millimetres could fall in {c}.", "Drivers are advised to allow extra time.",
         "The last comparable spell of {b} was recorded {n} years ago.",
         "{a2} said they were keeping a close eye on {c2}.",
         "Readings from the valley station are updated every {n} minutes."},
        {"Forecasters", "Valley weather watchers", "Flood wardens", "Farmers", "Ski resorts",
         "Commuters", "Coast guards", "Gardeners", "Ferry operators", "Schools"},
        {"heavy rain", "early frost", "strong winds", "thick fog", "heatwave conditions",
         "snow showers", "thunderstorms", "dry weather", "high tides", "hail"},
        {"the valley", "the coast road", "the hills", "the river meadows", "the northern villages",
         "the harbour", "the ridge", "Millbrook", "the lakeside", "the airport"},
    };
}

}  // namespace

const CNewsTopic& NewsTopic(CTopicId id) {
    static const std::vector<CNewsTopic> s_arrTopics = {
        MakeCity(),    MakeBusiness(), MakeTechnology(), MakeSport(),
        MakeScience(), MakeCulture(),  MakeWeather(),
    };
    return s_arrTopics.at(static_cast<size_t>(id));
}

const std::vector<std::string>& NewsWeekdays() {
    static const std::vector<std::string> s_arrDays = {
        "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    return s_arrDays;
}
