#include "demodata.h"

const std::vector<DemoCity> &demoCities()
{
    static const std::vector<DemoCity> cities = {
        {"São Paulo", "SP"},       {"Rio de Janeiro", "RJ"},    {"Belo Horizonte", "MG"},
        {"Curitiba", "PR"},        {"Porto Alegre", "RS"},      {"Salvador", "BA"},
        {"Recife", "PE"},          {"Fortaleza", "CE"},         {"Brasília", "DF"},
        {"Goiânia", "GO"},         {"Campinas", "SP"},          {"Florianópolis", "SC"},
        {"Manaus", "AM"},          {"Belém", "PA"},             {"Vitória", "ES"},
        {"Natal", "RN"},           {"João Pessoa", "PB"},       {"Maceió", "AL"},
        {"Aracaju", "SE"},         {"Teresina", "PI"},          {"São Luís", "MA"},
        {"Cuiabá", "MT"},          {"Campo Grande", "MS"},      {"Londrina", "PR"},
        {"Joinville", "SC"},       {"Ribeirão Preto", "SP"},    {"Santos", "SP"},
        {"Uberlândia", "MG"},      {"Juiz de Fora", "MG"},      {"Niterói", "RJ"},
        {"Sorocaba", "SP"},        {"São José dos Campos", "SP"}, {"Caxias do Sul", "RS"},
        {"Maringá", "PR"},         {"Blumenau", "SC"},          {"Feira de Santana", "BA"},
        {"Campina Grande", "PB"},  {"Petrolina", "PE"},         {"Montes Claros", "MG"},
        {"Pelotas", "RS"},         {"Bauru", "SP"},             {"Piracicaba", "SP"},
        {"Jundiaí", "SP"},         {"Anápolis", "GO"},          {"Caruaru", "PE"},
        {"Vila Velha", "ES"},      {"Porto Velho", "RO"},       {"Macapá", "AP"},
        {"Boa Vista", "RR"},       {"Rio Branco", "AC"},
    };
    return cities;
}

const std::vector<const char *> &demoStorePlaces()
{
    static const std::vector<const char *> places = {
        "Centro",          "Shopping Iguatemi", "Aeroporto",       "Rodoviária",     "Avenida Brasil",
        "Mercado Municipal", "Campus Universitário", "Hospital Santa Casa", "Zona Sul", "Orla",
        "Estação Central", "Parque da Cidade", "Jardins",         "Zona Norte",     "Boulevard Shopping",
        "Praça da Matriz", "Distrito Industrial", "Vila Nova",    "Bairro Alto",    "Rua das Flores",
    };
    return places;
}

const std::vector<const char *> &demoProductSuffixes()
{
    static const std::vector<const char *> suffixes = {
        "Tradicional", "Premium", "Light", "Família", "Kids", "Supremo", "da Casa", "Artesanal", "Gourmet",
        "Orgânico",
    };
    return suffixes;
}

// Order matters: a small tree takes the first groups, so drinks, plated meals and food by the kilo
// come first.
const std::vector<DemoGroup> &demoGroups()
{
    static const std::vector<DemoGroup> groups = {
        {"Bebidas",
         AllDay,
         {{"Refrigerantes", "UN", 450, 1200,
           {"Refrigerante Cola", "Refrigerante Guaraná", "Refrigerante Limão", "Refrigerante Laranja",
            "Água Tônica"},
           {"Lata 350ml", "Garrafa 600ml", "Zero Lata 350ml", "Garrafa 2L"}},
          {"Sucos Naturais", "UN", 700, 1400,
           {"Suco de Laranja", "Suco de Abacaxi com Hortelã", "Suco de Maracujá", "Suco de Acerola",
            "Suco de Caju", "Limonada Suíça"},
           {"300ml", "500ml", "Jarra 1L"}},
          {"Águas", "UN", 300, 700, {"Água Mineral", "Água com Gás", "Água de Coco"}, {"500ml", "1,5L"}},
          {"Cervejas", "UN", 900, 2400,
           {"Cerveja Pilsen", "Cerveja IPA", "Cerveja Weiss", "Chope Claro", "Chope Escuro"},
           {"Long Neck 355ml", "Lata 473ml", "Garrafa 600ml", "Caneca 400ml"}}}},
        {"Pratos Executivos",
         Lunch | Dinner,
         {{"Carnes", "UN", 2890, 4990,
           {"Filé à Parmegiana", "Picanha na Chapa", "Bife Acebolado", "Costela ao Molho Barbecue",
            "Escondidinho de Carne Seca"},
           {"com Arroz e Feijão", "com Fritas", "com Purê", "com Salada"}},
          {"Aves", "UN", 2490, 3990,
           {"Frango Grelhado", "Strogonoff de Frango", "Frango à Passarinho", "Galinhada"},
           {"com Arroz e Feijão", "com Legumes", "com Batata Palha"}},
          {"Peixes", "UN", 3290, 5490,
           {"Tilápia Grelhada", "Moqueca de Peixe", "Salmão ao Molho de Maracujá", "Bacalhau à Gomes de Sá"},
           {"com Arroz", "com Pirão", "com Legumes"}},
          {"Vegetarianos", "UN", 2290, 3490,
           {"Risoto de Cogumelos", "Berinjela à Parmegiana", "Quibe de Abóbora", "Moqueca de Banana"},
           {"com Arroz Integral", "com Salada"}}}},
        {"Self-service",
         Lunch,
         {{"Refeição por Quilo", "KG", 5990, 7990, {"Buffet por Quilo", "Buffet Vegetariano por Quilo"}, {}},
          {"Churrasco por Quilo", "KG", 7990, 9990, {"Churrasco por Quilo", "Buffet com Churrasco por Quilo"},
           {}}}},
        {"Lanches",
         Lunch | Afternoon | Dinner,
         {{"Sanduíches", "UN", 1490, 3290,
           {"Misto Quente", "Bauru", "Beirute de Filé", "Sanduíche Natural", "Americano"},
           {"no Pão Francês", "no Pão de Forma", "no Pão Sírio"}},
          {"Hambúrgueres", "UN", 2490, 4490,
           {"X-Burguer", "X-Salada", "X-Bacon", "X-Tudo", "Burguer Artesanal", "Cheddar Melt"},
           {"Simples", "Duplo", "Combo com Fritas"}},
          {"Salgados Fritos", "UN", 650, 1100,
           {"Coxinha de Frango", "Pastel de Carne", "Pastel de Queijo", "Kibe", "Risole de Presunto"},
           {"Unidade", "Porção com 6"}}}},
        {"Cafeteria",
         Breakfast | Afternoon,
         {{"Cafés", "UN", 450, 1490,
           {"Café Expresso", "Café com Leite", "Cappuccino", "Mocaccino", "Café Coado"},
           {"Pequeno", "Médio", "Grande", "Duplo"}},
          {"Chás", "UN", 500, 900, {"Chá de Camomila", "Chá Verde", "Chá Mate Gelado"}, {"Xícara", "Copo 400ml"}},
          {"Bebidas Lácteas", "UN", 900, 1690,
           {"Vitamina de Banana", "Milk-shake de Chocolate", "Iogurte com Granola", "Chocolate Quente"},
           {"300ml", "500ml"}}}},
        {"Padaria",
         Breakfast | Afternoon,
         {{"Pães", "UN", 190, 1290, {"Pão de Queijo", "Pão na Chapa", "Croissant", "Pão Doce"},
           {"Unidade", "com Requeijão", "com Manteiga"}},
          {"Bolos", "UN", 700, 1490, {"Bolo de Cenoura", "Bolo de Fubá", "Bolo de Chocolate", "Bolo de Milho"},
           {"Fatia", "Fatia com Cobertura"}},
          {"Salgados Assados", "UN", 690, 1190, {"Empada de Frango", "Esfiha de Carne", "Enroladinho de Salsicha"},
           {"Unidade", "Integral"}}}},
        {"Pizzas",
         Dinner,
         {{"Pizzas Tradicionais", "UN", 4490, 7990,
           {"Pizza Mussarela", "Pizza Calabresa", "Pizza Margherita", "Pizza Portuguesa", "Pizza Frango com Catupiry"},
           {"Broto", "Média", "Grande", "Família"}},
          {"Pizzas Doces", "UN", 3990, 6490, {"Pizza Brigadeiro", "Pizza Romeu e Julieta", "Pizza Banana com Canela"},
           {"Broto", "Média"}}}},
        {"Massas",
         Lunch | Dinner,
         {{"Massas Frescas", "UN", 3290, 4990, {"Espaguete", "Talharim", "Nhoque", "Ravióli"},
           {"ao Sugo", "à Bolonhesa", "ao Molho Branco", "ao Pesto"}},
          {"Lasanhas", "UN", 3490, 4690, {"Lasanha à Bolonhesa", "Lasanha de Frango", "Lasanha de Berinjela"},
           {"Individual", "Para Dois"}}}},
        {"Sobremesas",
         AllDay,
         {{"Doces", "UN", 650, 1890, {"Pudim de Leite", "Mousse de Maracujá", "Brigadeiro", "Petit Gâteau", "Quindim"},
           {"Porção", "Fatia"}},
          {"Sorvetes", "UN", 890, 2290, {"Sorvete de Creme", "Sorvete de Açaí", "Picolé de Frutas", "Sundae"},
           {"1 Bola", "2 Bolas", "Copo 300ml", "Copo 500ml"}}}},
        {"Saladas",
         Lunch,
         {{"Saladas", "UN", 2290, 3490, {"Salada Caesar", "Salada Caprese", "Salada Tropical", "Salada de Grão-de-bico"},
           {"Individual", "com Frango", "com Salmão"}},
          {"Bowls", "UN", 2690, 3790, {"Bowl de Quinoa", "Poke de Salmão", "Bowl Mediterrâneo"}, {"Regular", "Grande"}}}},
        {"Porções",
         Dinner,
         {{"Porções", "UN", 2990, 6990,
           {"Batata Frita", "Mandioca Frita", "Calabresa Acebolada", "Isca de Peixe", "Frango a Passarinho"},
           {"Meia Porção", "Porção Inteira"}},
          {"Petiscos", "UN", 1990, 3990, {"Bolinho de Bacalhau", "Pastelzinho Sortido", "Dadinho de Tapioca"},
           {"6 Unidades", "12 Unidades"}}}},
        {"Mercearia",
         AllDay,
         {{"Snacks", "UN", 390, 1290, {"Batata Chips", "Amendoim Torrado", "Biscoito de Polvilho", "Barra de Cereal"},
           {"Pacote 50g", "Pacote 120g"}},
          {"Chocolates", "UN", 350, 2490, {"Chocolate ao Leite", "Chocolate Meio Amargo", "Bombom Sortido"},
           {"Barra 25g", "Barra 90g", "Caixa 250g"}}}},
    };
    return groups;
}

const std::vector<DemoModality> &demoModalities()
{
    static const std::vector<DemoModality> modalities = {
        {"01", "Dinheiro", true},
        {"02", "Cartão de Crédito", true},
        {"03", "Cartão de Débito", true},
        {"04", "Pix", true},
        {"05", "Vale Refeição", true},
        {"06", "Vale Alimentação", true},
        {"07", "Pagamento Online", true},
        {"08", "Cheque", false}, // kept for old tickets; no longer offered at the registers
    };
    return modalities;
}
